#include "ErrorNumber.h"
#include "FakeWordServer.h"
#include "platform/automation/AutomationRuntime.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

// A small object with one method of three parameters and one property.
class Sample : public DispatchObject {
public:
    Sample() {
        addMethod(QStringLiteral("Join"),
                  {QStringLiteral("First"), QStringLiteral("Second"), QStringLiteral("Third")},
                  [](const BoundArguments& args) {
                      return Variant(args.required(0).toText() + QLatin1Char('|') +
                                     args.optional(1, "-").toText() + QLatin1Char('|') +
                                     args.optional(2, "-").toText());
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
    EXPECT_EQ(sample.call(QStringLiteral("join"), {{{}, "a"}, {{}, "b"}}).toText(),
              QStringLiteral("a|b|-"));
    EXPECT_EQ(sample
                  .call(QStringLiteral("JOIN"),
                        {{QStringLiteral("third"), "c"}, {QStringLiteral("First"), "a"}})
                  .toText(),
              QStringLiteral("a|-|c"));
    EXPECT_EQ(
        sample.call(QStringLiteral("Join"), {{{}, "a"}, {QStringLiteral("Third"), std::int16_t(3)}})
            .toText(),
        QStringLiteral("a|-|3"));
    sample.set(QStringLiteral("level"), "12");
    EXPECT_EQ(sample.get(QStringLiteral("Level")).toInt(), 12);
}

TEST(Automation, failuresCarryTheRuntimeNumbers) {
    Sample sample;
    EXPECT_EQ(errorNumberOf([&] { sample.call(QStringLiteral("Missing")); }),
              ErrorNumber::MemberNotFound);
    EXPECT_EQ(errorNumberOf([&] { sample.get(QStringLiteral("Execute")); }),
              ErrorNumber::MemberNotFound);
    EXPECT_EQ(errorNumberOf([&] { sample.call(QStringLiteral("Join")); }),
              ErrorNumber::ArgumentNotOptional);
    EXPECT_EQ(errorNumberOf([&] {
                  sample.call(QStringLiteral("Join"), {{QStringLiteral("Fourth"), "x"}});
              }),
              ErrorNumber::NamedArgumentNotFound);
    EXPECT_EQ(errorNumberOf([&] { sample.set(QStringLiteral("Level"), "twelve"); }),
              ErrorNumber::TypeMismatch);
    EXPECT_EQ(errorNumberOf([&] {
                  sample.call(QStringLiteral("Join"), {{{}, ObjectRef()}});
              }),
              ErrorNumber::TypeMismatch);
    EXPECT_EQ(errorNumberOf([&] { Variant("x").toObject(); }), ErrorNumber::ObjectRequired);
}

TEST(Automation, runtimeBindsRegisteredClassesOnly) {
    EXPECT_EQ(
        errorNumberOf([] { AutomationRuntime::createObject(QStringLiteral("No.Such.Class")); }),
        ErrorNumber::CannotCreateObject);
    auto fake = FakeWordServer::install();
    EXPECT_EQ(
        errorNumberOf([] { AutomationRuntime::getObject(QStringLiteral("Word.Application")); }),
        ErrorNumber::CannotCreateObject);
    ObjectRef created = AutomationRuntime::createObject(QStringLiteral("word.application"));
    ASSERT_TRUE(created);
    EXPECT_EQ(AutomationRuntime::getObject(QStringLiteral("Word.Application")), created);
    AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
}

TEST(Automation, fakeWordProcessorRecordsTheConversionCallsInOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile doc(dir.filePath(QStringLiteral("a.b.doc")));
    ASSERT_TRUE(doc.open(QIODevice::WriteOnly));
    doc.close();
    auto fake = FakeWordServer::install();
    ObjectRef word = AutomationRuntime::createObject(QStringLiteral("Word.Application"));
    word->call(QStringLiteral("ChangeFileOpenDirectory"), {{{}, dir.path()}});
    word->object(QStringLiteral("Documents"))
        ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), "a.b.doc"}});
    word->object(QStringLiteral("application"))->set(QStringLiteral("Visible"), true);
    const QString page = dir.filePath(QStringLiteral("a.b.htm"));
    word->object(QStringLiteral("ActiveDocument"))
        ->call(QStringLiteral("SaveAs"), {{QStringLiteral("FileName"), page},
                                          {QStringLiteral("FileFormat"), std::int16_t(8)},
                                          {QStringLiteral("LockComments"), false},
                                          {QStringLiteral("Password"), ""},
                                          {QStringLiteral("AddToRecentFiles"), false}});
    word->object(QStringLiteral("ActiveWindow"))->call(QStringLiteral("Close"));
    EXPECT_EQ(
        fake->callTexts(),
        QStringList({QStringLiteral("ChangeFileOpenDirectory(\"%1\")").arg(dir.path()),
                     QStringLiteral("Documents.Open(FileName:=\"a.b.doc\")"),
                     QStringLiteral("application.Visible = True"),
                     QStringLiteral("ActiveDocument.SaveAs(FileName:=\"%1\", FileFormat:=8, "
                                    "LockComments:=False, Password:=\"\", AddToRecentFiles:=False)")
                         .arg(page),
                     QStringLiteral("ActiveWindow.Close()")}));
    EXPECT_TRUE(QFileInfo::exists(page));
    EXPECT_EQ(fake->openDocuments(), 0);
    EXPECT_EQ(errorNumberOf([&] { word->object(QStringLiteral("ActiveDocument")); }),
              ErrorNumber::ServerFailure);

    fake->failCall(QStringLiteral("Documents.Open"), QStringLiteral("a.b"));
    EXPECT_EQ(errorNumberOf([&] {
                  word->object(QStringLiteral("Documents"))
                      ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), "a.b.doc"}});
              }),
              ErrorNumber::ServerFailure);
    EXPECT_EQ(errorNumberOf([&] {
                  word->object(QStringLiteral("Documents"))
                      ->call(QStringLiteral("Open"), {{QStringLiteral("FileName"), "missing.doc"}});
              }),
              ErrorNumber::FileNotFound);
    AutomationRuntime::unregisterServer(QStringLiteral("Word.Application"));
}
