#include "pipeline/Chain.h"

#include "core/Controls.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qp;

namespace {

// An extension list over a vector, counting how often it is read.
class VectorList : public ExtensionList {
public:
    explicit VectorList(std::vector<QString> entries = {}) : entries(std::move(entries)) {}
    int listCount() const override {
        ++countReads;
        return int(entries.size());
    }
    QString list(int index) const override { return entries.at(std::size_t(index)); }

    std::vector<QString> entries;
    mutable int countReads = 0;
};

bool accepted(ExtensionList& list, QString ext) {
    FilterChain chain(list);
    return chain.accepts(ext);
}

} // namespace

TEST(FilterChain, AcceptsListedExtensionsInAnyCase) {
    VectorList list({"doc"});
    EXPECT_TRUE(accepted(list, "DOC"));
    EXPECT_TRUE(accepted(list, "doc"));
    EXPECT_TRUE(accepted(list, "Doc"));
    EXPECT_FALSE(accepted(list, "docx"));
    EXPECT_FALSE(accepted(list, "rtf"));
    EXPECT_FALSE(accepted(list, "Unknown"));
    EXPECT_FALSE(accepted(list, ""));

    VectorList upper({"DOC"});
    EXPECT_TRUE(accepted(upper, "doc"));
}

TEST(FilterChain, MatchesExactlyWithoutTrimmingOrDots) {
    VectorList blank({" doc"});
    EXPECT_FALSE(accepted(blank, "doc"));
    VectorList dotted({".doc"});
    EXPECT_FALSE(accepted(dotted, "doc"));
    VectorList prefix({"do"});
    EXPECT_FALSE(accepted(prefix, "doc"));
    VectorList empty;
    EXPECT_FALSE(accepted(empty, "doc"));
    EXPECT_FALSE(accepted(empty, ""));
}

TEST(FilterChain, UnknownIsAcceptedOnlyWhenListed) {
    VectorList plain({"doc"});
    EXPECT_FALSE(accepted(plain, "Unknown"));
    for (const char* entry : {"unknown", "Unknown", "UNKNOWN"}) {
        VectorList list({"doc", entry});
        EXPECT_TRUE(accepted(list, "Unknown")) << entry;
    }
}

TEST(FilterChain, DuplicatesAndOrderDoNotMatter) {
    VectorList twice({"doc", "doc"});
    EXPECT_TRUE(accepted(twice, "DOC"));
    EXPECT_FALSE(accepted(twice, "rtf"));
    VectorList later({"rtf", "txt", "doc"});
    EXPECT_TRUE(accepted(later, "doc"));
}

TEST(FilterChain, FlagIsClearedBeforeEverySend) {
    VectorList list({"doc"});
    FilterChain chain(list);
    QString first = "doc";
    QString second = "rtf";
    EXPECT_TRUE(chain.accepts(first));
    EXPECT_TRUE(ExtensionAccepted);
    EXPECT_FALSE(chain.accepts(second));
    EXPECT_FALSE(ExtensionAccepted);
}

TEST(FilterChain, CallersVariableIsLowerCasedAfterASend) {
    VectorList list({"doc"});
    FilterChain chain(list);
    QString accepted = "DoC";
    chain.accepts(accepted);
    EXPECT_EQ(accepted, "doc");
    QString rejected = "RTF";
    chain.accepts(rejected);
    EXPECT_EQ(rejected, "rtf");
}

TEST(FilterChain, ListIsReadAfreshAtEachSend) {
    VectorList list({"doc"});
    FilterChain chain(list);
    QString ext = "rtf";
    EXPECT_FALSE(chain.accepts(ext));
    list.entries.push_back("RTF");
    ext = "rtf";
    EXPECT_TRUE(chain.accepts(ext));
    list.entries.clear();
    ext = "doc";
    EXPECT_FALSE(chain.accepts(ext));
    EXPECT_EQ(list.countReads, 3);
}

TEST(FilterChain, HandlersLinkAndPassTheExtensionOn) {
    VectorList list({"doc"});
    auto chain1 = std::make_shared<Chain1>(list);
    auto chain2 = std::make_shared<Chain2>();
    auto chain3 = std::make_shared<Chain3>();
    auto last = std::make_shared<NoCmd>();
    EXPECT_FALSE(chain1->hasChain());
    EXPECT_EQ(chain1->getChain(), nullptr);
    chain1->addChain(chain2);
    chain2->addChain(chain3);
    chain3->addChain(last);
    last->addChain(chain1); // ignored: the end has no successor
    EXPECT_TRUE(chain1->hasChain());
    EXPECT_EQ(chain1->getChain(), chain2);
    EXPECT_EQ(chain2->getChain(), chain3);
    EXPECT_EQ(chain3->getChain(), last);
    EXPECT_FALSE(last->hasChain());
    EXPECT_EQ(last->getChain(), nullptr);

    // The result is always false; the verdict travels in the flag.
    QString ext = "DOC";
    ExtensionAccepted = false;
    EXPECT_FALSE(chain1->sendToChain(ext));
    EXPECT_TRUE(ExtensionAccepted);

    // Chain2 lower-cases and passes on to the end, which rejects.
    ext = "DOC";
    ExtensionAccepted = true;
    EXPECT_FALSE(chain2->sendToChain(ext));
    EXPECT_EQ(ext, "doc");
    EXPECT_FALSE(ExtensionAccepted);

    // A handler without a successor ends the send quietly.
    Chain3 alone;
    ext = "X";
    EXPECT_FALSE(alone.sendToChain(ext));
    EXPECT_EQ(ext, "x");
}
