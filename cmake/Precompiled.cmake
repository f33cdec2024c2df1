# Combined compilation (the start command's build): each layer's sources are
# compiled eight at a time as one source, so the Qt, standard and UNO headers
# are parsed once per batch. Without debug information this takes less
# processor time than the precompiled headers below and has no step that a
# layer's sources all wait for, so the start command uses it instead of them.
# The office session's private types are members of a class of its header,
# which the compiler accepts only in a source of its own.
if(QUILLPG_UNITY_BUILD)
    foreach(layer quillpg_automation quillpg_webpage quillpg_office quillpg_desktop quillpg_jobs
                  quillpg_ui)
        set_target_properties(${layer} PROPERTIES UNITY_BUILD ON)
    endforeach()
    set_source_files_properties("${PROJECT_SOURCE_DIR}/src/office/OfficeSession.cpp"
        TARGET_DIRECTORY quillpg_office PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endif()

# Precompiled headers: the Qt and standard headers that nearly every source
# includes are parsed once per build instead of once per source, which is most
# of the time a first build takes. The layers below the windows share one
# (they are compiled alike), the windows have one with the widgets' headers,
# and the office bridge one with the UNO headers. The programs' own main
# sources are compiled as position-independent executables, so they do not
# share the libraries' headers.
option(QUILLPG_PCH "Precompile the Qt, standard and UNO headers" ON)
if(NOT QUILLPG_PCH)
    return()
endif()

set(QUILLPG_PCH_CORE
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QHash> <QObject> <QProcess>
    <QString> <QStringList> <QThread> <QTimer> <QUrl>
    <algorithm> <functional> <map> <memory> <mutex> <optional> <vector>)
target_precompile_headers(quillpg_automation PRIVATE ${QUILLPG_PCH_CORE})
foreach(layer quillpg_webpage quillpg_desktop quillpg_jobs quillpg_batch)
    target_precompile_headers(${layer} REUSE_FROM quillpg_automation)
endforeach()

target_precompile_headers(quillpg_ui PRIVATE ${QUILLPG_PCH_CORE}
    <QAction> <QApplication> <QDialog> <QFrame> <QLabel> <QLineEdit> <QListWidget> <QMainWindow>
    <QMessageBox> <QPushButton> <QRadioButton> <QTreeWidget> <QWidget>)

target_precompile_headers(quillpg_office PRIVATE ${QUILLPG_PCH_CORE}
    <com/sun/star/uno/Any.hxx> <com/sun/star/uno/Reference.hxx> <com/sun/star/uno/Sequence.hxx>
    <com/sun/star/beans/PropertyValue.hpp> <com/sun/star/beans/XPropertySet.hpp>
    <com/sun/star/lang/XComponent.hpp> <com/sun/star/uno/XComponentContext.hpp>)
