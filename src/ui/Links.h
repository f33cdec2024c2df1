#pragma once

#include <QString>

namespace qp::Links {

// The addresses that the program's link labels open.
inline QString makerHomePage() {
    return QStringLiteral("https://quillpage.org/");
}
inline QString productPage() {
    return QStringLiteral("https://quillpage.org/html/");
}

} // namespace qp::Links
