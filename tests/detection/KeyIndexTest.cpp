#include "detection/KeyIndex.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace velmora;

TEST(KeyIndex, FindsTheOriginalOfAnEqualKey)
{
    const KeyCollator collator(QStringLiteral("de_DE"));
    KeyDigestMaker maker(collator);
    KeyIndex index;
    EXPECT_FALSE(index.addOrFind(maker.digest(QStringLiteral("Re:Hello")), 10));
    EXPECT_FALSE(index.addOrFind(maker.digest(QString::fromUtf8("ÄRGER")), 11));
    EXPECT_FALSE(index.addOrFind(maker.digest(QString::fromUtf8("Résumé")), 12));
    EXPECT_EQ(index.addOrFind(maker.digest(QStringLiteral("RE:HELLO")), 13), 10);
    EXPECT_EQ(index.addOrFind(maker.digest(QString::fromUtf8("ärger")), 14), 11);
    EXPECT_EQ(index.addOrFind(maker.digest(QString::fromUtf8("résumé")), 15), 12);
    EXPECT_FALSE(index.addOrFind(maker.digest(QStringLiteral("Resume")), 16)); // accents count
    EXPECT_EQ(index.size(), 4u);
    index.clear();
    EXPECT_FALSE(index.addOrFind(maker.digest(QStringLiteral("re:hello")), 17));
}

TEST(KeyIndex, HoldsNoKeyText)
{
    const KeyCollator collator;
    KeyDigestMaker maker(collator);
    KeyIndex shortKeys;
    KeyIndex longKeys;
    const QString padding(4000, QLatin1Char('x'));
    for (int i = 0; i < 5000; ++i) {
        shortKeys.addOrFind(maker.digest(QString::number(i)), i + 1);
        longKeys.addOrFind(maker.digest(padding + QString::number(i)), i + 1);
    }
    EXPECT_EQ(longKeys.size(), 5000u);
    EXPECT_EQ(longKeys.memoryBytes(), shortKeys.memoryBytes());
    EXPECT_LE(longKeys.memoryBytes(), 5000u * 64u);
    // Every key is still found after the table grew many times.
    for (int i = 0; i < 5000; ++i) {
        EXPECT_EQ(longKeys.addOrFind(maker.digest(padding + QString::number(i)), 99999), i + 1);
    }
}

// Digest equality must be exactly the collator's equality, also on strings built to be nearly equal.
TEST(KeyIndex, DigestEqualityMatchesTheCollator)
{
    const KeyCollator collator;
    KeyDigestMaker maker(collator);
    QRandomGenerator random(42);
    const QString alphabet = QString::fromUtf8("aAbBeEéÉèÈ zZäÄßſ:;0ﬁ\u00A0\u0301Ωω");
    int equalPairs = 0;
    for (int i = 0; i < 4000; ++i) {
        QString a;
        QString b;
        const int length = random.bounded(1, 6);
        for (int j = 0; j < length; ++j) {
            const QChar ch = alphabet[random.bounded(alphabet.size())];
            a += ch;
            // b is mostly a with case flipped, sometimes another character
            b += random.bounded(4) == 0 ? alphabet[random.bounded(alphabet.size())] : (j % 2 ? ch.toUpper() : ch);
        }
        const bool equal = collator.equal(a, b);
        equalPairs += equal ? 1 : 0;
        EXPECT_EQ(maker.digest(a) == maker.digest(b), equal) << a.toStdString() << " vs " << b.toStdString();
    }
    EXPECT_GT(equalPairs, 100);
}
