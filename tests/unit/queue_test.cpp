#include "ErrorNumber.h"
#include "FakeWindows.h"
#include "QtPrinters.h"
#include "jobs/ConverterFactory.h"
#include "jobs/Decorator.h"
#include "jobs/Mediator.h"
#include "jobs/WorkItem.h"
#include "jobs/WorkQueue.h"

#include <gtest/gtest.h>

using namespace qp;
using qp::test::errorNumberOf;

namespace {

// A work item that only carries a name.
std::shared_ptr<WorkItem> item(const QString& name) {
    static qp::test::FakeWindows windows;
    static Mediator mediator(windows, windows.dialogs);
    auto result = std::make_shared<BatchWorkItem>(mediator.converters());
    result->init(name);
    return result;
}

QStringList drain(WorkQueue& stack) {
    QStringList names;
    while (stack.hasMoreElements())
        names << stack.NextElement()->fileName();
    return names;
}

WorkQueue stackOf(const QStringList& names) {
    WorkQueue stack;
    for (const QString& name : names)
        stack.add(item(name));
    return stack;
}

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

TEST(WorkQueue, takesTheOldestFirstAndPeeksAtTheNewest) {
    WorkQueue stack;
    EXPECT_EQ(stack.NextElement(), nullptr);
    EXPECT_EQ(stack.top(), nullptr);
    stack = stackOf({"A", "B", "C"});
    EXPECT_EQ(stack.top()->fileName(), "C");
    EXPECT_EQ(stack.nextTop()->fileName(), "B");
    EXPECT_EQ(stack.count(), 3);
    EXPECT_EQ(drain(stack), QStringList({"A", "B", "C"}));
    EXPECT_EQ(stack.NextElement(), nullptr);
}

TEST(WorkQueue, oddOperationsBehaveAsDocumented) {
    WorkQueue empty;
    EXPECT_EQ(empty.nextTop(), nullptr);
    empty.NextElement2add(item("D"));
    EXPECT_EQ(drain(empty), QStringList({"D"}));

    WorkQueue one = stackOf({"A"});
    EXPECT_EQ(one.nextTop(), nullptr);
    one.NextElement2add(item("D"));
    EXPECT_EQ(drain(one), QStringList({"A", "D"}));

    WorkQueue three = stackOf({"A", "B", "C"});
    EXPECT_FALSE(three.topStack(item("X"), item("Y")));
    EXPECT_EQ(three.count(), 3);
    three.NextElement2add(item("D"));
    EXPECT_EQ(drain(three), QStringList({"C", "D"}));
}

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

TEST(ReDecorator, takesOverTheComponentOfADecoratorAndNeverRunsIt) {
    auto component = std::make_shared<Recorder>();
    auto decorator = std::make_shared<Decorator>();
    decorator->init(component);
    ReDecorator wrapper;
    wrapper.init(decorator);
    EXPECT_EQ(wrapper.getobject(), component);
    wrapper.ShowIt();
    EXPECT_TRUE(component->log.isEmpty());

    ReDecorator byContents;
    ObjectRef contents = decorator;
    byContents.initContents(contents);
    EXPECT_EQ(byContents.getobject(), component);
    EXPECT_EQ(contents, decorator);
    // Anything but a decorator is refused.
    for (ObjectRef other : {ObjectRef(component), ObjectRef(std::make_shared<ReDecorator>())})
        EXPECT_EQ(errorNumberOf([&] { byContents.initContents(other); }),
                  ErrorNumber::TypeMismatch);
}

TEST(ReDecorator, withNoObjectHasNoComponentAndRaisesNothing) {
    ReDecorator wrapper;
    EXPECT_NO_THROW(wrapper.init(std::shared_ptr<Decorator>()));
    EXPECT_EQ(wrapper.getobject(), nullptr);
    ObjectRef nothing;
    EXPECT_NO_THROW(wrapper.initContents(nothing));
    EXPECT_EQ(wrapper.getobject(), nullptr);
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
