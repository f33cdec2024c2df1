#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace qp {

// Error numbers as an automation runtime reports them.
namespace ErrorNumber {
constexpr std::int32_t InvalidArgument = 5;      // Invalid procedure call or argument
constexpr std::int32_t OutOfMemory = 7;          // Out of memory
constexpr std::int32_t TypeMismatch = 13;        // Type mismatch
constexpr std::int32_t FileNotFound = 53;        // File not found
constexpr std::int32_t DiskFull = 61;            // Disk full
constexpr std::int32_t PermissionDenied = 70;    // Permission denied
constexpr std::int32_t PathFileAccess = 75;      // Path/File access error
constexpr std::int32_t PathNotFound = 76;        // Path not found
constexpr std::int32_t ObjectNotSet = 91;        // Object variable not set
constexpr std::int32_t ObjectRequired = 424;     // Object required
constexpr std::int32_t CannotCreateObject = 429; // ActiveX component can't create object
constexpr std::int32_t MemberNotFound = 438;     // Object doesn't support this property or method
constexpr std::int32_t NamedArgumentNotFound = 448; // Named argument not found
constexpr std::int32_t ArgumentNotOptional = 449;   // Argument not optional
constexpr std::int32_t ServerUnavailable = 462;     // The remote server is unavailable
constexpr std::int32_t KeyNotUnique = 35602;        // Key is not unique in collection
constexpr std::int32_t DialogCancelled = 32755;     // Cancel was selected
constexpr std::int32_t ServerFailure = -2147417851; // The server threw an exception
constexpr std::int32_t ServerStopped = -2147023174; // The RPC server is unavailable
// The application's own: a folder without any document of the listed types.
constexpr std::int32_t NoDocuments = -2147220991; // vbObjectError + 513
constexpr std::int32_t Timeout =
    -2147023436; // This operation returned because the timeout period expired
} // namespace ErrorNumber

// A failure of a late-bound call: a number and a description, as the
// automation runtime reports it, and the source that raised it.
class AutomationError : public std::runtime_error {
public:
    AutomationError(std::int32_t number, const QString& description, const QString& source = {});

    std::int32_t number() const { return number_; }
    QString description() const { return description_; }
    QString source() const { return source_; }

private:
    std::int32_t number_;
    QString description_;
    QString source_;
};

// The text a caller shows for any exception: the description of an
// AutomationError, what() of anything else.
QString errorText(const std::exception& error);

} // namespace qp
