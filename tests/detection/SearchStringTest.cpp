#include "detection/SearchString.h"
#include "store/MemoryStore.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

using namespace velmora;

namespace {

struct KeyCase
{
    const char* name;
    MemoryMessage message;
    std::vector<int> ticked;
    const char* key;
};

FieldTicks ticksOf(const std::vector<int>& ticked)
{
    FieldTicks ticks;
    ticks.UncheckAll();
    for (int i : ticked) {
        ticks.setChecked(i, true);
    }
    return ticks;
}

} // namespace

TEST(SearchString, KeysOfTickedFields)
{
    const KeyCase cases[] = {
        { "punctuation and spaces go, the colon stays",
          { .subject = QStringLiteral("Re: Hello, World.") },
          { 0 },
          "Re:HelloWorld" },
        { "already clean", { .subject = QStringLiteral("Re:Hello World") }, { 0 }, "Re:HelloWorld" },
        { "field boundaries are lost (1)",
          { .subject = QStringLiteral("ab"), .body = QStringLiteral("c") },
          { 0, 1 },
          "abc" },
        { "field boundaries are lost (2)",
          { .subject = QStringLiteral("a"), .body = QStringLiteral("bc") },
          { 0, 1 },
          "abc" },
        { "size as decimal text", { .subject = QStringLiteral("x"), .size = 4096 }, { 4 }, "4096" },
        { "subject then size", { .subject = QStringLiteral("Report"), .size = 512 }, { 0, 4 }, "Report512" },
        { "a negative size loses its minus sign like any hyphen", { .size = -7 }, { 4 }, "7" },
        { "only spaces, dots and dashes", { .subject = QStringLiteral(" .-- . ") }, { 0 }, "" },
        { "tabs and line breaks go", { .body = QStringLiteral("a\tb\r\nc") }, { 1 }, "abc" },
        { "no-break space and non-Latin text stay",
          { .subject = QString::fromUtf8("Привет\u00A0мир! 日本") },
          { 0 },
          "Привет\u00A0мир日本" },
        { "punctuation above '/' stays",
          { .subject = QStringLiteral("a:b;c<d>e?f@g[h]i_j{k}l~") },
          { 0 },
          "a:b;c<d>e?f@g[h]i_j{k}l~" },
        { "To and From in list order",
          { .subject = QStringLiteral("S"),
            .displayTo = QStringLiteral("Ann Lee"),
            .displayFrom = QStringLiteral("Bo") },
          { 3, 2 },
          "AnnLeeBo" },
        { "nothing ticked", { .subject = QStringLiteral("Hello"), .body = QStringLiteral("World") }, {}, "" },
    };
    for (const auto& c : cases) {
        auto store = MemoryStore::create();
        const OEId id = store->addMessage(store->rootId(), c.message);
        const auto message = store->messageHandle(id);
        EXPECT_EQ(BuildKey(*message, ticksOf(c.ticked)), QString::fromUtf8(c.key)) << c.name;
    }
}

TEST(SearchString, CleanKeepsEveryUnitAboveLatin1IncludingSurrogates)
{
    const QString emoji = QString::fromUtf8("😀 x");
    EXPECT_EQ(CleanSearchString(emoji), QString::fromUtf8("😀x"));
    const QString allStripped = QStringLiteral("\t\n\r !\"#$%&'()*+,-./");
    EXPECT_TRUE(CleanSearchString(allStripped).isEmpty());
    EXPECT_EQ(CleanSearchString(QStringLiteral("0:\u00FF\u0100")), QStringLiteral("0:\u00FF\u0100"));
}

// Long texts go through the wide path 32 units at a time: every unit of every lane must be judged alone, the
// boundary units of each dropped range included.
TEST(SearchString, CleanOfLongTextsDropsExactlyTheListedUnits)
{
    const char16_t pool[] = { u'\t', u'\n', u'\v', u'\r', 0x1F,   u' ',   u'!',   u'/',
                              u'0',  u'a',  0x2E,  0x30,  0x0120, 0x2F20, 0xD83D, 0xDE00 };
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        QString text;
        const int size = static_cast<int>(random() % 300);
        for (int i = 0; i < size; ++i) {
            text += QChar(pool[random() % std::size(pool)]);
        }
        QString expected;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            const bool dropped = u == u'\t' || u == u'\n' || u == u'\r' || (u >= 0x20 && u <= 0x2F);
            if (!dropped) {
                expected += c;
            }
        }
        ASSERT_EQ(CleanSearchString(text), expected) << "round " << round;
    }
}

TEST(SearchString, BodyIsCutAtTheLimit)
{
    auto store = MemoryStore::create();
    const QString head(FieldTicks::kBodyLimit, QLatin1Char('a'));
    const OEId a = store->addMessage(store->rootId(), { .body = head + QStringLiteral("first tail") });
    const OEId b = store->addMessage(store->rootId(), { .body = head + QStringLiteral("other tail") });
    const FieldTicks ticks = ticksOf({ 1 });
    EXPECT_EQ(BuildKey(*store->messageHandle(a), ticks), BuildKey(*store->messageHandle(b), ticks));
}

TEST(SearchString, TickedFieldThatFailsMakesTheItemFail)
{
    auto store = MemoryStore::create();
    const OEId id = store->addMessage(store->rootId(), { .subject = QStringLiteral("s"), .body = QStringLiteral("b") });
    store->failOn(StoreOp::GetBody, id);
    const auto message = store->messageHandle(id);
    EXPECT_THROW(BuildKey(*message, ticksOf({ 0, 1 })), StoreError);
    // An unticked field is not read, so its failure does not matter.
    EXPECT_EQ(BuildKey(*message, ticksOf({ 0 })), QStringLiteral("s"));
}

TEST(SearchString, TicksAreReadAtEachCall)
{
    auto store = MemoryStore::create();
    const OEId id = store->addMessage(store->rootId(), { .subject = QStringLiteral("s"), .body = QStringLiteral("b") });
    const auto message = store->messageHandle(id);
    FieldTicks ticks;
    EXPECT_EQ(BuildKey(*message, ticks), QStringLiteral("sb"));
    ticks.setChecked(1, false);
    EXPECT_EQ(BuildKey(*message, ticks), QStringLiteral("s"));
    ticks.UncheckAll();
    EXPECT_EQ(BuildKey(*message, ticks), QString());
    ticks.CheckDefaultFields();
    EXPECT_TRUE(ticks.isChecked(0) && ticks.isChecked(1) && !ticks.isChecked(2) && !ticks.isChecked(3)
                && !ticks.isChecked(4));
}
