#include "SignalSafe.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qp {

namespace {

constexpr int deepestFolder = 16;

// Empties the open folder. It is read again while a pass removes something:
// the listing may change under the removals.
void emptyFolder(int folder, int depth) {
    for (int pass = 0; pass < 8; ++pass) {
        bool removed = false;
        char buffer[4096];
        long size;
        ::lseek(folder, 0, SEEK_SET);
        while ((size = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer)) > 0) {
            for (long offset = 0; offset < size;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const char* name = entry->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                if (::unlinkat(folder, name, 0) == 0) {
                    removed = true;
                    continue;
                }
                if (errno != EISDIR || depth >= deepestFolder)
                    continue;
                const int sub =
                    ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0) {
                    emptyFolder(sub, depth + 1);
                    ::close(sub);
                }
                if (::unlinkat(folder, name, AT_REMOVEDIR) == 0)
                    removed = true;
            }
        }
        if (!removed)
            break;
    }
}

} // namespace

void removeTreeFromSignal(const char* path) {
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        emptyFolder(folder, 0);
        ::close(folder);
    }
    ::rmdir(path);
}

} // namespace qp
