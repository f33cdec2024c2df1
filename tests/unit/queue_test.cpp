#include "ErrorNumber.h"
#include "FakeWindows.h"
#include "QtPrinters.h"
#include "jobs/ConverterFactory.h"
#include "jobs/Decorator.h"
#include "jobs/Mediator.h"
#include "jobs/WorkItem.h"

#include <gtest/gtest.h>

using namespace qp;
using qp::test::errorNumberOf;

namespace {

// A component that records what reaches it by name, or has no members at all.
class Recorder : public DispatchObject {
public:
    explicit Recorder(bool mute = false) {
        if (mute)
            return;
        addMethod(QStringLiteral("init"), {QStringLiteral("fileName")},
                  [this](const BoundArguments& args) {
                      log << QStringLiteral("init ") + args.required(0).toText();
                      return Variant();
                  });
        addMethod(QStringLiteral("Execute"), {}, [this](const BoundArguments&) {
            log << QStringLiteral("Execute");
            if (failWith)
                throw AutomationError(failWith, QStringLiteral("refused"));
            return Variant();
        });
    }
    QString className() const override { return QStringLiteral("Recorder"); }
    QStringList log;
    std::int32_t failWith = 0;
};

} // namespace

TEST(Decorator, runsItsComponentByNameAndPassesFailuresThrough) {
    auto component = std::make_shared<Recorder>();
    Decorator decorator;
    decorator.init(component);
    decorator.ShowIt();
    EXPECT_EQ(component->log, QStringList({"Execute"}));
    component->failWith = ErrorNumber::ServerFailure;
    EXPECT_EQ(errorNumberOf([&] { decorator.ShowIt(); }), ErrorNumber::ServerFailure);

    Decorator empty;
    EXPECT_EQ(errorNumberOf([&] { empty.ShowIt(); }), ErrorNumber::ObjectNotSet);
    Decorator mute;
    mute.init(std::make_shared<Recorder>(true));
    EXPECT_EQ(errorNumberOf([&] { mute.ShowIt(); }), ErrorNumber::MemberNotFound);
}

TEST(WorkItems, giveTheirConverterThePathThenRunItThroughADecorator) {
    std::vector<std::shared_ptr<Recorder>> made;
    const auto maker = [&] {
        made.push_back(std::make_shared<Recorder>());
        return ObjectRef(made.back());
    };
    qp::test::FakeWindows windows;
    Mediator mediator(windows, windows.dialogs);
    ConverterFactory& converters = mediator.converters();
    converters.setBatch(maker);
    converters.setSingle(maker);
    BatchWorkItem batch(converters);
    batch.init(QStringLiteral("/in/a.doc"));
    batch.Execute();
    SingleDocumentWorkItem single(converters);
    single.init(QStringLiteral("/in/b.doc"));
    single.Execute();
    converters.setBatch({});
    converters.setSingle({});

    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->log, QStringList({"init /in/a.doc", "Execute"}));
    EXPECT_EQ(made[1]->log, QStringList({"init /in/b.doc", "Execute"}));
    // Batch items get the converter without dialogs, single ones the other.
    EXPECT_EQ(converters.batch()->className(), "DecObj");
    EXPECT_EQ(converters.single()->className(), "DecObj2");
}
