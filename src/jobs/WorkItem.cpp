#include "WorkItem.h"

#include "automation/AutomationError.h"
#include "jobs/ConverterFactory.h"
#include "jobs/Decorator.h"

namespace qp {

namespace {
// Gives the converter the document, wraps it in a decorator and has the
// decorator run it. The item does not look at the file itself: whether it
// exists is the converter's concern. Failures pass to the caller.
void convert(const ObjectRef& converter, const QString& fileName, const QString& pageName = {},
             const QString& targetFolder = {}) {
    std::shared_ptr<AbstractDecorator> decorator = std::make_shared<Decorator>();
    converter->call(QStringLiteral("init"), {{QString(), fileName}});
    if (!pageName.isEmpty() && converter->hasMember(QStringLiteral("PageName")))
        converter->set(QStringLiteral("PageName"), pageName);
    if (!targetFolder.isEmpty() && converter->hasMember(QStringLiteral("TargetFolder")))
        converter->set(QStringLiteral("TargetFolder"), targetFolder);
    decorator->init(converter);
    decorator->ShowIt();
}
} // namespace

void BatchWorkItem::Execute() {
    if (!refusal_.isEmpty())
        throw AutomationError(ErrorNumber::PathFileAccess, refusal_, QStringLiteral("FileList"));
    convert(converters_.batch(), fileName_, pageName_, targetFolder_);
}

void SingleDocumentWorkItem::Execute() {
    convert(converters_.single(), fileName_);
}

} // namespace qp
