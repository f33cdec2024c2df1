# Locates the office installation and its SDK, and generates the C++ headers of
# the UNO types that the office bridge uses. Nothing generated is kept in the
# source tree.
set(QUILLPG_OFFICE_DIR "/usr/lib/libreoffice" CACHE PATH "Office installation folder")
set(UNO_SDK_DIR "${QUILLPG_OFFICE_DIR}/sdk")
set(UNO_PROGRAM_DIR "${QUILLPG_OFFICE_DIR}/program")

find_program(CPPUMAKER cppumaker PATHS "${UNO_SDK_DIR}/bin" NO_DEFAULT_PATH REQUIRED)
set(UNO_TYPE_LIBRARIES "${UNO_PROGRAM_DIR}/types.rdb" "${UNO_PROGRAM_DIR}/types/offapi.rdb")
foreach(rdb IN LISTS UNO_TYPE_LIBRARIES)
    if(NOT EXISTS "${rdb}")
        message(FATAL_ERROR "UNO type library ${rdb} not found: is libreoffice-dev installed?")
    endif()
endforeach()

# The UNO types the bridge names; cppumaker adds what they depend on.
set(UNO_TYPES
    com.sun.star.awt.FontDescriptor
    com.sun.star.beans.PropertyValue
    com.sun.star.beans.UnknownPropertyException
    com.sun.star.beans.XMultiPropertySet
    com.sun.star.bridge.UnoUrlResolver
    com.sun.star.connection.NoConnectException
    com.sun.star.beans.XPropertySet
    com.sun.star.container.XEnumerationAccess
    com.sun.star.container.XIndexAccess
    com.sun.star.container.XNameAccess
    com.sun.star.drawing.XDrawPageSupplier
    com.sun.star.document.XTypeDetection
    com.sun.star.frame.Desktop
    com.sun.star.frame.XLoadable
    com.sun.star.frame.XModel
    com.sun.star.frame.XStorable
    com.sun.star.io.IOException
    com.sun.star.io.XInputStream
    com.sun.star.lang.DisposedException
    com.sun.star.lang.IllegalArgumentException
    com.sun.star.lang.XComponent
    com.sun.star.lang.XMultiComponentFactory
    com.sun.star.lang.XServiceInfo
    com.sun.star.style.NumberingType
    com.sun.star.style.XAutoStyle
    com.sun.star.style.XAutoStylesSupplier
    com.sun.star.task.ErrorCodeIOException
    com.sun.star.text.XTextEmbeddedObjectsSupplier
    com.sun.star.ucb.XSimpleFileAccess
    com.sun.star.text.XTextGraphicObjectsSupplier
    com.sun.star.text.TextContentAnchorType
    com.sun.star.text.XTextFieldsSupplier
    com.sun.star.text.XDocumentIndexesSupplier
    com.sun.star.text.XFootnotesSupplier
    com.sun.star.text.XTextDocument
    com.sun.star.text.XTextTable
    com.sun.star.text.XTextTablesSupplier
    com.sun.star.text.XLineNumberingProperties
    com.sun.star.text.FootnoteNumbering
    com.sun.star.text.ReferenceFieldPart
    com.sun.star.uno.DeploymentException
    com.sun.star.uno.RuntimeException
    com.sun.star.uno.XComponentContext
    com.sun.star.util.XCloseable
)
list(JOIN UNO_TYPES ";" UNO_TYPE_ARG)
set(UNO_GENERATED_DIR "${CMAKE_BINARY_DIR}/uno-include")
set(UNO_STAMP "${UNO_GENERATED_DIR}/.stamp")
add_custom_command(
    OUTPUT "${UNO_STAMP}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${UNO_GENERATED_DIR}"
    COMMAND "${CPPUMAKER}" "-O${UNO_GENERATED_DIR}" "-T${UNO_TYPE_ARG}" ${UNO_TYPE_LIBRARIES}
    COMMAND ${CMAKE_COMMAND} -E touch "${UNO_STAMP}"
    DEPENDS ${UNO_TYPE_LIBRARIES} "${CMAKE_CURRENT_LIST_FILE}"
    COMMENT "Generating UNO headers with cppumaker"
    VERBATIM)
add_custom_target(uno_headers DEPENDS "${UNO_STAMP}")

add_library(uno_sdk INTERFACE)
add_dependencies(uno_sdk uno_headers)
target_include_directories(uno_sdk SYSTEM INTERFACE "${UNO_SDK_DIR}/include" "${UNO_GENERATED_DIR}")
target_compile_definitions(uno_sdk INTERFACE LINUX UNX CPPU_ENV=gcc3)
target_link_directories(uno_sdk INTERFACE "${UNO_SDK_DIR}/lib")
target_link_libraries(uno_sdk INTERFACE uno_cppu uno_cppuhelpergcc3 uno_sal uno_salhelpergcc3)
target_link_options(uno_sdk INTERFACE "LINKER:-rpath-link,${UNO_PROGRAM_DIR}")
# The UNO runtime's libraries load the office's private ones from their own
# folder, so the programs look for them there: from the build folder by its
# path, installed by a path relative to their own folder (for an installation
# in /usr, as the Debian package has it, and in the configured prefix), which
# a package may carry.
list(APPEND CMAKE_BUILD_RPATH "${UNO_PROGRAM_DIR}")
foreach(bindir /usr/bin "${CMAKE_INSTALL_PREFIX}/bin")
    file(RELATIVE_PATH relative "${bindir}" "${UNO_PROGRAM_DIR}")
    list(APPEND CMAKE_INSTALL_RPATH "$ORIGIN/${relative}")
endforeach()
list(REMOVE_DUPLICATES CMAKE_INSTALL_RPATH)
