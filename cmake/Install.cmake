# What `cmake --install` puts in place: the two programs, their manual pages,
# the desktop entry, the application icon in the hicolor theme, the AppStream
# metainfo, bash completion for quillpg-batch and the package's documents.
include(GNUInstallDirs)

set(QUILLPG_DATA_DIR "${PROJECT_SOURCE_DIR}/data")
set(QUILLPG_APP_ID "io.github.quillpage.quillpg")

# The window icon at start-up, when the icon theme has none (a program run
# from its build folder).
set_property(TARGET quillpg PROPERTY AUTORCC ON)
target_sources(quillpg PRIVATE "${QUILLPG_DATA_DIR}/icons/quillpg.qrc")

install(TARGETS quillpg quillpg-batch RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# Files that carry the version, and manual pages compressed as Debian wants
# them (gzip -n: no name or time stamp, so the same page gives the same bytes).
set(generated "${PROJECT_BINARY_DIR}/data")
configure_file("${QUILLPG_DATA_DIR}/${QUILLPG_APP_ID}.metainfo.xml" "${generated}/${QUILLPG_APP_ID}.metainfo.xml" @ONLY)
set(compressed)
foreach(page quillpg.1 quillpg-batch.1)
    configure_file("${QUILLPG_DATA_DIR}/man/${page}" "${generated}/${page}" @ONLY)
    list(APPEND compressed "${generated}/${page}.gz")
endforeach()
list(APPEND compressed "${generated}/changelog.gz")
add_custom_command(
    OUTPUT ${compressed}
    COMMAND gzip -9nc "${generated}/quillpg.1" > "${generated}/quillpg.1.gz"
    COMMAND gzip -9nc "${generated}/quillpg-batch.1" > "${generated}/quillpg-batch.1.gz"
    COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/changelog" > "${generated}/changelog.gz"
    DEPENDS "${generated}/quillpg.1" "${generated}/quillpg-batch.1" "${PROJECT_SOURCE_DIR}/packaging/changelog"
    COMMENT "Compressing the manual pages and the changelog")
add_custom_target(quillpg_data ALL DEPENDS ${compressed})

install(FILES "${generated}/quillpg.1.gz" "${generated}/quillpg-batch.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${QUILLPG_DATA_DIR}/quillpg.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${generated}/${QUILLPG_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${QUILLPG_DATA_DIR}/icons/quillpg.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 48 256)
    install(FILES "${QUILLPG_DATA_DIR}/icons/quillpg-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME quillpg.png)
endforeach()
install(FILES "${QUILLPG_DATA_DIR}/completion/quillpg-batch"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${generated}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quillpage")
