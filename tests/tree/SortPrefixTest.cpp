#include "tree/VSTHandlers.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace velmora;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// -1, 0 or 1 as the prefixes order, read as unsigned 128-bit integers.
int prefixOrder(const SortPrefix& a, const SortPrefix& b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

QString units(std::initializer_list<char16_t> list)
{
    QString text;
    for (const char16_t unit : list) {
        text.append(QChar(unit));
    }
    return text;
}

} // namespace

// Cases at the edges of the encoding: the prefixes must tell these texts apart, in the comparison's order.
TEST(SortPrefixTest, TextPrefixesSeparateWhatTheComparisonSeparates)
{
    struct Case
    {
        QString a;
        QString b;
    };
    const QString seventeen = QStringLiteral("Re: weekly report"); // 17 units
    const QString fourteen = QStringLiteral("[list] notice "); // 14 units
    const std::vector<Case> cases = {
        { QString(), units({ 0 }) }, // the end of a text before a unit 0
        { QStringLiteral("Sent"), QStringLiteral("Sent Items") },
        { QStringLiteral("abc"), QStringLiteral("ABD") },
        { QStringLiteral("Z"), QStringLiteral("[") }, // folded z before the units between Z and a
        { QStringLiteral("a"), QStringLiteral("_x") },
        { QStringLiteral("}"), QStringLiteral("~") }, // the last unit kept in one group, the first escaped
        { QStringLiteral("~"), units({ 0x7F }) },
        { QStringLiteral("~"), QStringLiteral("~a") },
        { QStringLiteral("z"), QStringLiteral("\u00E9") },
        { QStringLiteral("\u00E9"), QStringLiteral("\u03B1") },
        { units({ 0xFFFE }), units({ 0xFFFF }) },
        { QStringLiteral("\u00E9a"), QStringLiteral("\u00E9b") }, // the text goes on after an escaped unit
        { QStringLiteral("Re: message 12"), QStringLiteral("Re: message 2") },
        { seventeen + QLatin1Char('a'), seventeen + QLatin1Char('b') }, // differing in the last unit kept
        { seventeen, seventeen + QLatin1Char('!') },
        { fourteen + QStringLiteral("\u00E9"), fourteen + QStringLiteral("\u0100") }, // an escape cut short
    };
    for (const Case& c : cases) {
        const SCOPED_TRACE(c.a.toStdString() + " / " + c.b.toStdString());
        ASSERT_EQ(CompareTextFoldingAZ(c.a, c.b), -1);
        EXPECT_EQ(prefixOrder(TextSortPrefixFoldingAZ(c.a), TextSortPrefixFoldingAZ(c.b)), -1);
        EXPECT_EQ(prefixOrder(TextSortPrefixFoldingAZ(c.b), TextSortPrefixFoldingAZ(c.a)), 1);
    }
    // Texts equal under folding have equal prefixes.
    EXPECT_EQ(TextSortPrefixFoldingAZ(QStringLiteral("Re: Inbox")),
              TextSortPrefixFoldingAZ(QStringLiteral("RE: inBOX")));
}

// Over random texts built from the units where the encoding changes, a difference of the prefixes always
// agrees with the comparison.
TEST(SortPrefixTest, TextPrefixOrderAgreesWithComparison)
{
    const QStringList stems = { QString(),
                                QStringLiteral("Re: message "),
                                QStringLiteral("RE: MESSAGE "),
                                QStringLiteral("abcdefghijklmnopq"),
                                QStringLiteral("ABCDEFGHIJKLMNOPQR"),
                                QStringLiteral("\u00C4rger mit ") };
    const std::vector<char16_t> alphabet = { 0,    u'0', u'A', u'a', u'Z', u'z', u'[',  u'_',   u'`',  u'{',
                                             0x7D, 0x7E, 0x7F, 0x80, 0xC4, 0xE4, 0x3B1, 0xD83D, 0xFFFF };
    std::mt19937 random(4242);
    auto randomText = [&] {
        QString text = stems[static_cast<qsizetype>(random() % static_cast<unsigned>(stems.size()))];
        const int extra = static_cast<int>(random() % 8);
        for (int i = 0; i < extra; ++i) {
            text.append(QChar(alphabet[random() % alphabet.size()]));
        }
        return text;
    };
    for (int i = 0; i < 50000; ++i) {
        const QString a = randomText();
        const QString b = randomText();
        const int order = prefixOrder(TextSortPrefixFoldingAZ(a), TextSortPrefixFoldingAZ(b));
        if (order != 0) {
            ASSERT_EQ(order, sign(CompareTextFoldingAZ(a, b))) << a.toStdString() << " / " << b.toStdString();
        }
    }
}

// Integer and time prefixes order exactly as the comparisons do, negative values and unknown times included.
TEST(SortPrefixTest, IntegerAndTimePrefixesOrderAsComparisons)
{
    const std::vector<qint64> numbers
        = { std::numeric_limits<qint64>::min(), std::numeric_limits<qint32>::min(), -1, 0, 1,
            std::numeric_limits<qint32>::max(), std::numeric_limits<qint64>::max() };
    for (const qint64 a : numbers) {
        for (const qint64 b : numbers) {
            EXPECT_EQ(prefixOrder(IntegerSortPrefix(a), IntegerSortPrefix(b)), CompareIntegers(a, b)) << a << " " << b;
        }
    }

    const QDateTime utc(QDate(2020, 5, 1), QTime(12, 0), Qt::UTC);
    const std::vector<QDateTime> times = {
        QDateTime(),
        QDateTime(QDate(1960, 1, 1), QTime(0, 0), Qt::UTC), // before 1970: negative
        utc,
        utc.toOffsetFromUtc(7200), // the same instant elsewhere
        utc.addMSecs(1),
        QDateTime(QDate(2400, 1, 1), QTime(0, 0), Qt::UTC),
    };
    for (const QDateTime& a : times) {
        for (const QDateTime& b : times) {
            EXPECT_EQ(prefixOrder(DateTimeSortPrefix(a), DateTimeSortPrefix(b)), CompareDateTimes(a, b))
                << a.toString(Qt::ISODateWithMs).toStdString() << " " << b.toString(Qt::ISODateWithMs).toStdString();
        }
    }
}
