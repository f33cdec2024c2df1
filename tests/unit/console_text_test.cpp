// What quillpg-batch prints of a file name: no name can split a line or forge
// one.

#include "ConsoleText.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace qp::batch;

namespace {

// What bash makes of a word, printed byte for byte.
QByteArray bashWord(const QString& word) {
    QProcess bash;
    bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("printf %s ") + word});
    bash.waitForFinished();
    return bash.readAllStandardOutput();
}

} // namespace

TEST(ConsoleText, namesWithControlCharactersAreShownInTheShellsEscapedForm) {
    const std::vector<std::pair<QString, QString>> cases{
        {"/in/report final.doc", "/in/report final.doc"},
        {"/in/l'été.doc", "/in/l'été.doc"},
        {"/in/a\nb.doc", "$'/in/a\\nb.doc'"},
        {QString::fromUtf8("/in/\x1b[2J\x7f\x01.doc"), "$'/in/\\033[2J\\177\\001.doc'"},
        {"/in/it's\n\\.doc", "$'/in/it\\'s\\n\\\\.doc'"},
        // A line separator, a C1 control and a right-to-left override can
        // break or disguise a line as well.
        {QString::fromUtf8("/in/a\u2028b\u0085c\u202Ed.doc"),
         "$'/in/a\\342\\200\\250b\\302\\205c\\342\\200\\256d.doc'"},
        // A plain name that looks like an escaped one is escaped too.
        {"$'x'", "$'$\\'x\\''"},
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(escapedName(name), shown) << name.toStdString();
        EXPECT_FALSE(escapedName(name).contains('\n'));
        // The shell reads the escaped form back as the very name.
        if (shown.startsWith("$'")) {
            EXPECT_EQ(bashWord(shown), name.toUtf8()) << shown.toStdString();
        }
    }
    EXPECT_EQ(convertedLine("/in/a\nb.doc", "/out/a\nb.htm"),
              "Converted $'/in/a\\nb.doc' -> $'/out/a\\nb.htm'");
    EXPECT_EQ(failedLine("/in/x\n.doc", "cannot open\n/in/x\n.doc\x1b[1m"),
              "Failed $'/in/x\\n.doc': cannot open /in/x .doc [1m");
}
