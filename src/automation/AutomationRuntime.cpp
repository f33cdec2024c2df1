#include "AutomationRuntime.h"

#include <map>
#include <mutex>

namespace qp::AutomationRuntime {

namespace {
std::mutex registryMutex;
std::map<QString, std::shared_ptr<AutomationServer>>& registry() {
    static std::map<QString, std::shared_ptr<AutomationServer>> servers;
    return servers;
}

std::shared_ptr<AutomationServer> lookup(const QString& name, std::int32_t errorNumber,
                                         const char* what) {
    auto found = server(name);
    if (!found)
        throw AutomationError(errorNumber,
                              QStringLiteral("%1: %2").arg(QString::fromLatin1(what), name));
    return found;
}
} // namespace

void registerServer(const QString& className, std::shared_ptr<AutomationServer> server) {
    std::lock_guard lock(registryMutex);
    registry()[className.toLower()] = std::move(server);
}

void unregisterServer(const QString& className) {
    std::lock_guard lock(registryMutex);
    registry().erase(className.toLower());
}

std::shared_ptr<AutomationServer> server(const QString& className) {
    std::lock_guard lock(registryMutex);
    const auto it = registry().find(className.toLower());
    return it == registry().end() ? nullptr : it->second;
}

ObjectRef getObject(const QString& pathName, const QString& className) {
    const QString name = className.isEmpty() ? pathName : className;
    return lookup(name, ErrorNumber::CannotCreateObject, "No running object answers to")
        ->getObject();
}

ObjectRef createObject(const QString& className) {
    return lookup(className, ErrorNumber::CannotCreateObject,
                  "ActiveX component can't create object")
        ->createObject();
}

} // namespace qp::AutomationRuntime
