#include "Command.h"

#include "Mediator.h"
#include "automation/AutomationError.h"

namespace qp {

namespace {
Mediator& required(Mediator* mediator, const char* command) {
    if (!mediator)
        throw AutomationError(ErrorNumber::ObjectNotSet,
                              QStringLiteral("Object variable not set: %1 was executed before init")
                                  .arg(QString::fromLatin1(command)));
    return *mediator;
}
} // namespace

void StartJobCommand::Execute() {
    Mediator& mediator = required(mediator_, "cmd1");
    const QString document = mediator.GetSourceFile();
    mediator.startJob(document);
}

void NextDocumentCommand::Execute() {
    required(mediator_, "Cmd2").nextDocument();
}

} // namespace qp
