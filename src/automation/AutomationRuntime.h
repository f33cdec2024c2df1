#pragma once

#include "AutomationObject.h"

#include <QString>

#include <memory>

namespace qp {

// What answers for one registered automation class.
class AutomationServer {
public:
    virtual ~AutomationServer() = default;
    // An object that is already running; raises when there is none.
    virtual ObjectRef getObject() = 0;
    // A new object; raises when none can be created.
    virtual ObjectRef createObject() = 0;
};

// The registry of automation classes and the two ways to bind an object.
namespace AutomationRuntime {

void registerServer(const QString& className, std::shared_ptr<AutomationServer> server);
void unregisterServer(const QString& className);
std::shared_ptr<AutomationServer> server(const QString& className);

// Binds a running object by path name; the class name, when given, selects the
// server instead of the path name.
ObjectRef getObject(const QString& pathName, const QString& className = {});
// Creates a new object of a registered class on the local machine.
ObjectRef createObject(const QString& className);

} // namespace AutomationRuntime

} // namespace qp
