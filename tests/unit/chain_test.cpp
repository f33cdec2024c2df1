#include "jobs/ExtensionFilter.h"

#include "jobs/Controls.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qp;

namespace {

// An extension list over a vector.
class VectorList : public ExtensionList {
public:
    explicit VectorList(std::vector<QString> items = {}) : entries(std::move(items)) {}
    int listCount() const override { return int(entries.size()); }
    QString list(int index) const override { return entries.at(std::size_t(index)); }

    std::vector<QString> entries;
};

} // namespace

TEST(ExtensionFilter, AcceptsExactlyTheListedExtensionsInAnyLetterCase) {
    struct Case {
        std::vector<QString> list;
        QString extension;
        bool accepted;
    };
    const std::vector<Case> cases{
        {{"doc"}, "DOC", true},
        {{"doc"}, "docx", false},
        {{"doc", "unknown"}, "Unknown", true}, // only when listed
        {{" doc"}, "doc", false},              // entries are not trimmed
        {{".doc"}, "doc", false},              // nor stripped of a dot
        {{}, "doc", false},
        {{"rtf", "txt", "doc"}, "doc", true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        VectorList list(cases[i].list);
        ExtensionFilter chain(list);
        QString extension = cases[i].extension;
        EXPECT_EQ(chain.accepts(extension), cases[i].accepted) << "case " << i;
    }
}

TEST(ExtensionFilter, EachSendHasItsOwnVerdictReadsTheListAfreshAndLowerCasesTheText) {
    VectorList list({"doc"});
    ExtensionFilter chain(list);
    QString first = "DoC";
    QString second = "RTF";
    EXPECT_TRUE(chain.first->sendToChain(first));
    EXPECT_FALSE(chain.first->sendToChain(second));
    EXPECT_EQ(first, "doc");
    EXPECT_EQ(second, "rtf");
    list.entries.push_back("RTF");
    EXPECT_TRUE(chain.accepts(second));
    list.entries.clear();
    EXPECT_FALSE(chain.accepts(first));
}
