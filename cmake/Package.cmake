# The Debian package: `cpack -G DEB` in the build folder makes
# quillpage_<version>_<arch>.deb of what `cmake --install` puts in place.
# dpkg-shlibdeps finds the packages of the libraries the programs link (Qt 6,
# libxml2, the UNO runtime); the office itself is started as a program, so it
# is named here.
set(CPACK_PACKAGE_NAME quillpage)
set(CPACK_PACKAGE_VENDOR "The Quillpage developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn word-processor documents into HTML web pages")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillpage)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(QUILLPG_PACKAGE_MAINTAINER "The Quillpage developers <quillpage@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLPG_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The office that converts (either of its packages; the one without a user
# interface is enough) and the UNO runtime through which the programs reach it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libreoffice-writer-nogui | libreoffice-writer, ure")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jq, parallel")
# The long description below the summary line; CPack indents it as Debian
# wants and turns the empty line into a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quillpage converts word-processor documents into web pages by having
LibreOffice open each document in the background and save it as a web page:
the office's full page with its pictures beside it, or a lean,
standards-only page in UTF-8.

The window application quillpg converts one document or a whole folder and
shows each document's status; the console tool quillpg-batch converts
folders and trees without a window, on one machine or spread over several.
The office runs walled off from the network, and a page is either complete
or not written at all.")
include(CPack)
