#pragma once

#include <functional>

#include "platform/automation/AutomationObject.h"

namespace qp {

// What both converters share: the automation members "init" (the document's
// full path) and "Execute", and the calls on the word processor.
class Converter : public DispatchObject {
public:
    void init(const QString& fileName) { fileName_ = fileName; }
    virtual void Execute() = 0;
    QString fileName() const { return fileName_; }

protected:
    Converter();

    // The word processor bound at start-up; ObjectNotSet when there is none.
    static ObjectRef wordApp();
    static void open(const ObjectRef& word, const QString& fileName);
    static void showWordProcessor(const ObjectRef& word);
    // Returns the word processor's warnings about the page, one a line
    // (pictures it could not place beside the page), empty when none.
    static QString saveAs(const ObjectRef& word, const QString& page, bool notFiltered);
    static void closeActiveWindow(const ObjectRef& word);
    // After a failure: closes the document this converter opened, if any, so
    // that it does not stay open in the word processor. Never raises.
    static void closeQuietly(const ObjectRef& word);
    // Shows the word processor, runs save on the open document and closes
    // its window, dropping the reference; a failure after the open closes the
    // document before it passes on.
    static void saveAndClose(ObjectRef& word, const std::function<void()>& save);
    // Shows the warnings of a converted document in its row's detail and
    // tells the reporter.
    static void reportWarnings(const QString& document, const QString& warnings);

    QString fileName_;
};

// The batch converter: writes the page into the job's target folder under
// the document's base name, without asking.
class DecObj : public Converter {
public:
    QString className() const override { return QStringLiteral("DecObj"); }
    void Execute() override;
};

// The single-document converter: proposes the page's path in a save dialog
// and writes the page where the user chose.
class DecObj2 : public Converter {
public:
    QString className() const override { return QStringLiteral("DecObj2"); }
    void Execute() override;
};

} // namespace qp
