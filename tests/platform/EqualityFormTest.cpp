#include "platform/EqualityForm.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

using velmora::EqualityFormBuilder;
using velmora::KeyCollator;

namespace {

std::vector<std::uint8_t> formOf(EqualityFormBuilder& builder, const QString& text)
{
    return builder.build(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

class EqualityFormAgreement : public ::testing::TestWithParam<const char*>
{
};

} // namespace

// Equal forms must mean exactly what the collator means by equal, for ASCII texts (the table) and for every
// other text (collation elements), and across the two: "ﬁle" and "FILE" meet although only one is ASCII.
TEST_P(EqualityFormAgreement, MatchesTheCollatorOnRandomTexts)
{
    const KeyCollator collator(QString::fromUtf8(GetParam()));
    EqualityFormBuilder builder(collator);
    QRandomGenerator random(1234);
    const QStringList pieces = {
        QStringLiteral("a"),
        QStringLiteral("A"),
        QStringLiteral("e"),
        QStringLiteral("E"),
        QStringLiteral("s"),
        QStringLiteral("S"),
        QStringLiteral("1"),
        QStringLiteral(":"),
        QStringLiteral("@"),
        QStringLiteral("~"),
        QStringLiteral("\u0001"),
        QStringLiteral("\u007F"),
        QStringLiteral("\u00E9"),
        QStringLiteral("\u00C9"),
        QStringLiteral("\u0301"),
        QStringLiteral("\u00DF"),
        QStringLiteral("ss"),
        QStringLiteral("\uFB01"),
        QStringLiteral("fi"),
        QStringLiteral("FI"),
        QStringLiteral("\u00A0"),
        QStringLiteral("\u200B"),
        QStringLiteral("\u00E4"),
        QStringLiteral("\u00C4"),
        QStringLiteral("ae"),
        QStringLiteral("\u00E6"),
        QStringLiteral("\u00E5"),
        QStringLiteral("aa"),
        QStringLiteral("ch"),
        QStringLiteral("\u0416"),
        QStringLiteral("\u0436"),
        QStringLiteral("\u65E5"),
        QStringLiteral("\uFF21"),
        QStringLiteral("\u0E40"),
        QStringLiteral("\u0E01"),
        QStringLiteral("\u00BD"),
        QStringLiteral("1/2"),
        QStringLiteral("\u2460"),
        QStringLiteral("\u3042"),
        QStringLiteral("\u30A2"),
        QString::fromUtf8("😀"),
        QStringLiteral("\u00B7"),
        QStringLiteral("l"),
        QStringLiteral("L"),
        // Units that join the ASCII letter before or after them: marks, the kana length and voicing marks,
        // conjoining jamo.
        QStringLiteral("\u0308"),
        QStringLiteral("\u030A"),
        QStringLiteral("\u30FC"),
        QStringLiteral("\u3099"),
        QStringLiteral("\u1100"),
        QStringLiteral("\u1161"),
        QStringLiteral("\uAC00"),
        QStringLiteral("o"),
    };
    auto randomText = [&] {
        QString text;
        const int count = random.bounded(0, 5);
        for (int i = 0; i < count; ++i) {
            text += pieces[random.bounded(pieces.size())];
        }
        return text;
    };
    int equalPairs = 0;
    int asciiOnlyPairs = 0;
    for (int i = 0; i < 20000; ++i) {
        const QString a = randomText();
        // Most pairs are near copies: the same pieces with their case changed, or composed or decomposed (a
        // letter and its mark read apart must still meet the letter with the mark).
        QString b;
        switch (random.bounded(5)) {
        case 0:
            b = randomText();
            break;
        case 1:
            b = a.toUpper();
            break;
        case 2:
            b = a.toLower();
            break;
        case 3:
            b = a.normalized(QString::NormalizationForm_D);
            break;
        default:
            b = a.normalized(QString::NormalizationForm_C);
            break;
        }
        const bool equal = collator.equal(a, b);
        equalPairs += equal ? 1 : 0;
        bool ascii = true;
        for (const QChar c : a + b) {
            ascii = ascii && c.unicode() < 0x80;
        }
        asciiOnlyPairs += ascii ? 1 : 0;
        ASSERT_EQ(formOf(builder, a) == formOf(builder, b), equal)
            << qPrintable(a) << " vs " << qPrintable(b) << " in " << GetParam();
    }
    EXPECT_GT(equalPairs, 2000);
    EXPECT_GT(asciiOnlyPairs, 100);
}

INSTANTIATE_TEST_SUITE_P(Locales, EqualityFormAgreement,
                         ::testing::Values("", "en_US", "de_DE", "da_DK", "cs_CZ", "sv_SE", "fr_CA", "th_TH", "ja_JP",
                                           "tr_TR", "es_ES@collation=traditional", "ca_ES"));

TEST(EqualityForm, TableIsUsedOnlyWhereItIsExact)
{
    EXPECT_TRUE(EqualityFormBuilder(KeyCollator(QStringLiteral("en_US"))).usesElements());
    EXPECT_TRUE(EqualityFormBuilder(KeyCollator(QStringLiteral("C"))).usesElements());
    // Danish joins "aa" into one letter and Czech "ch": ASCII texts need the collator there.
    EXPECT_FALSE(EqualityFormBuilder(KeyCollator(QStringLiteral("da_DK"))).usesElements());
    EXPECT_FALSE(EqualityFormBuilder(KeyCollator(QStringLiteral("cs_CZ"))).usesElements());
}
