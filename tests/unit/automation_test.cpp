#include "ErrorNumber.h"
#include "FakeWordServer.h"

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

// A small object with one method of three parameters and one property.
class Sample : public DispatchObject {
public:
    Sample() {
        addMethod(
            QStringLiteral("Join"), {"First", "Second", "Third"}, [](const BoundArguments& args) {
                return Variant(args.required(0).toText() + '|' + args.optional(1, "-").toText() +
                               '|' + args.optional(2, "-").toText());
            });
        addProperty(
            QStringLiteral("Level"), [this] { return Variant(level); },
            [this](const Variant& v) { level = v.toInt(); });
    }
    QString className() const override { return QStringLiteral("Sample"); }
    std::int32_t level = 0;
};

} // namespace

TEST(Automation, membersAreFoundByNameInAnyCaseWithPositionalAndNamedArguments) {
    Sample sample;
    EXPECT_EQ(sample.call("join", {{{}, "a"}, {{}, "b"}}).toText(), "a|b|-");
    EXPECT_EQ(sample.call("JOIN", {{"third", "c"}, {"First", "a"}}).toText(), "a|-|c");
    EXPECT_EQ(sample.call("Join", {{{}, "a"}, {"Third", std::int16_t(3)}}).toText(), "a|-|3");
    sample.set("level", "12");
    EXPECT_EQ(sample.get("Level").toInt(), 12);
}

TEST(Automation, failuresCarryTheRuntimeNumbers) {
    Sample sample;
    const std::vector<std::pair<std::function<void()>, std::int32_t>> cases{
        {[&] { sample.call("Missing"); }, ErrorNumber::MemberNotFound},
        {[&] { sample.call("Join"); }, ErrorNumber::ArgumentNotOptional},
        {[&] {
             sample.call("Join", {{"Fourth", "x"}});
         },
         ErrorNumber::NamedArgumentNotFound},
        {[&] { sample.set("Level", "twelve"); }, ErrorNumber::TypeMismatch},
        {[&] {
             sample.call("Join", {{{}, ObjectRef()}});
         },
         ErrorNumber::TypeMismatch},
        {[] { Variant("x").toObject(); }, ErrorNumber::ObjectRequired},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(errorNumberOf(cases[i].first), cases[i].second) << "case " << i;
}

TEST(Automation, runtimeBindsRegisteredClassesOnly) {
    EXPECT_EQ(errorNumberOf([] { AutomationRuntime::createObject("No.Such.Class"); }),
              ErrorNumber::CannotCreateObject);
    auto fake = FakeWordServer::install();
    EXPECT_EQ(errorNumberOf([] { AutomationRuntime::getObject("Word.Application"); }),
              ErrorNumber::CannotCreateObject);
    ObjectRef created = AutomationRuntime::createObject("word.application");
    ASSERT_TRUE(created);
    EXPECT_EQ(AutomationRuntime::getObject("Word.Application"), created);
    AutomationRuntime::unregisterServer("Word.Application");
}
