// The pipeline's small parts: the extension filter chain, and the automation
// objects that everything calls through.

#include "ErrorNumber.h"
#include "FakeWordServer.h"
#include "QtPrinters.h"
#include "jobs/Controls.h"
#include "jobs/ExtensionFilter.h"

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

class VectorList : public ExtensionList {
public:
    int listCount() const override { return int(entries.size()); }
    QString list(int index) const override { return entries.at(std::size_t(index)); }
    std::vector<QString> entries;
};

// One method of three parameters and one property.
class Sample : public DispatchObject {
public:
    Sample() {
        addMethod("Join", {"First", "Second", "Third"}, [](const BoundArguments& args) {
            return Variant(args.required(0).toText() + '|' + args.optional(1, "-").toText() + '|' +
                           args.optional(2, "-").toText());
        });
        addProperty(
            "Level", [this] { return Variant(level); },
            [this](const Variant& v) { level = v.toInt(); });
    }
    QString className() const override { return "Sample"; }
    std::int32_t level = 0;
};

} // namespace

TEST(ExtensionFilter, acceptsExactlyTheListedExtensionsInAnyCase) {
    // List, extension, verdict: entries are neither trimmed nor stripped of a dot.
    const std::vector<std::tuple<std::vector<QString>, QString, bool>> cases{
        {{"doc"}, "DOC", true},
        {{"doc"}, "docx", false},
        {{"doc", "unknown"}, "Unknown", true},
        {{" doc"}, "doc", false},
        {{".doc"}, "doc", false},
        {{}, "doc", false},
        {{"rtf", "txt", "doc"}, "doc", true}};
    for (auto [entries, extension, accepted] : cases) {
        VectorList list;
        list.entries = entries;
        EXPECT_EQ(ExtensionFilter(list).accepts(extension), accepted) << extension.toStdString();
    }
}

TEST(Automation, membersAreFoundByNameInAnyCaseAndFailuresCarryTheRuntimeNumbers) {
    Sample sample;
    EXPECT_EQ(sample.call("join", {{{}, "a"}, {{}, "b"}}).toText(), "a|b|-");
    EXPECT_EQ(sample.call("JOIN", {{"third", "c"}, {"First", "a"}}).toText(), "a|-|c");
    EXPECT_EQ(sample.call("Join", {{{}, "a"}, {"Third", std::int16_t(3)}}).toText(), "a|-|3");
    sample.set("level", "12");
    EXPECT_EQ(sample.get("Level").toInt(), 12);
    const Arguments unknown{{"Fourth", "x"}}, object{{{}, ObjectRef()}};
    const std::vector<std::pair<std::function<void()>, std::int32_t>> cases{
        {[&] { sample.call("Missing"); }, ErrorNumber::MemberNotFound},
        {[&] { sample.call("Join"); }, ErrorNumber::ArgumentNotOptional},
        {[&] { sample.call("Join", unknown); }, ErrorNumber::NamedArgumentNotFound},
        {[&] { sample.set("Level", "twelve"); }, ErrorNumber::TypeMismatch},
        {[&] { sample.call("Join", object); }, ErrorNumber::TypeMismatch},
        {[] { Variant("x").toObject(); }, ErrorNumber::ObjectRequired},
        // The runtime binds registered classes only.
        {[] { AutomationRuntime::createObject("No.Such.Class"); }, ErrorNumber::CannotCreateObject},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(errorNumberOf(cases[i].first), cases[i].second) << "case " << i;
    auto fake = FakeWordServer::install();
    EXPECT_EQ(errorNumberOf([] { AutomationRuntime::getObject("Word.Application"); }),
              ErrorNumber::CannotCreateObject);
    ObjectRef created = AutomationRuntime::createObject("word.application");
    ASSERT_TRUE(created);
    EXPECT_EQ(AutomationRuntime::getObject("Word.Application"), created);
    AutomationRuntime::unregisterServer("Word.Application");
}
