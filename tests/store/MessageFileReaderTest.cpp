#include "FileStoreTestSupport.h"

#include "store/MessageFileReader.h"

#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora;
using namespace velmora::test;

namespace {

QString fixture(const char* relative)
{
    return QStringLiteral(VELMORA_TEST_DATA "/") + QString::fromUtf8(relative);
}

struct FieldCase
{
    const char* file;
    const char* subject;
    const char* to;
    const char* from;
    const char* body; // the whole decoded body
    const char* htmlContains;
};

class MessageFields : public ::testing::TestWithParam<FieldCase>
{
};

TEST_P(MessageFields, AreDecodedToUnicode)
{
    const FieldCase& c = GetParam();
    const ParsedMessage m = readMessageFile(fixture(c.file), FieldNeeds::everything());
    EXPECT_EQ(m.subject, QString::fromUtf8(c.subject));
    EXPECT_EQ(m.displayTo, QString::fromUtf8(c.to));
    EXPECT_EQ(m.displayFrom, QString::fromUtf8(c.from));
    EXPECT_EQ(m.body, QString::fromUtf8(c.body));
    EXPECT_TRUE(m.bodyComplete);
    EXPECT_TRUE(m.htmlBody.contains(QString::fromUtf8(c.htmlContains))) << m.htmlBody.toStdString();
    EXPECT_EQ(m.fileSize, QFileInfo(fixture(c.file)).size());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MessageFields,
    ::testing::Values(FieldCase { "messages/plain-utf8.eml",
                                  "Grü\xC3\x9F"
                                  "e aus Köln and more",
                                  "Anna Berg; bob@example.org; Smith, Carol", "Jürgen Müller",
                                  "Grüße, Anna!\nZweite Zeile €.\n", "<pre>Grüße, Anna!\nZweite Zeile €.\n</pre>" },
                      FieldCase { "messages/latin1-qp.eml", "Café crème", "undisclosed-recipients", "René Dupré",
                                  "Un café crème, s'il vous plaît € 2.\n",
                                  "<pre>Un café crème, s'il vous plaît € 2.\n</pre>" },
                      FieldCase { "messages/html-only.eml", "Newsletter", "reader@example.org", "news@example.org",
                                  "\n\nHello & welcome\xC2\xA0€A\n\n\nPrice: € 5\n\n", "<div>Price: € 5</div>" },
                      FieldCase { "messages/alternative-inline-image.eml", "Picture", "Bob", "Ann", "See the picture.",
                                  "<img src=\"cid:dot@example.org\">" },
                      FieldCase { "messages/attachment-only-text.eml", "Report attached", "b@example.org",
                                  "a@example.org", "The report is attached.", "<pre>The report is attached.</pre>" }));

TEST(MessageFileReader, HeadersOnlyLeavesTheBodyUnread)
{
    const ParsedMessage m = readMessageFile(fixture("messages/plain-utf8.eml"), FieldNeeds { true, false, false });
    EXPECT_TRUE(m.hasHeaders);
    EXPECT_FALSE(m.hasBody);
    EXPECT_TRUE(m.body.isEmpty());
    EXPECT_EQ(m.displayFrom, QStringLiteral("Jürgen Müller"));
}

TEST(MessageFileReader, InlinePartIsFoundByContentId)
{
    const auto part
        = readInlinePart(fixture("messages/alternative-inline-image.eml"), QStringLiteral("dot@example.org"));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->mimeType, QByteArray("image/png"));
    EXPECT_TRUE(part->data.startsWith("\x89PNG"));
    EXPECT_FALSE(readInlinePart(fixture("messages/alternative-inline-image.eml"), QStringLiteral("other@x")));
}

TEST(MessageFileReader, BodyIsCutAtTheLimitInCodeUnits)
{
    QTemporaryDir dir;
    // "𝄞" is two UTF-16 code units: a cut through it leaves no half character.
    const QString path = writeFile(dir.path(), QStringLiteral("m.eml"),
                                   simpleMessage("Limit",
                                                 QByteArray("abc\xF0\x9D\x84\x9E"
                                                            "def\r\nghi\n")));
    const auto body = [&](int limit) { return readMessageFile(path, FieldNeeds::keyFields(limit)); };
    EXPECT_EQ(body(3).body, QStringLiteral("abc"));
    EXPECT_FALSE(body(3).bodyComplete);
    EXPECT_EQ(body(4).body, QStringLiteral("abc"));
    EXPECT_EQ(body(5).body, QString::fromUtf8("abc\xF0\x9D\x84\x9E"));
    EXPECT_EQ(body(100).body,
              QString::fromUtf8("abc\xF0\x9D\x84\x9E"
                                "def\nghi\n"));
    EXPECT_TRUE(body(100).bodyComplete);
    EXPECT_EQ(body(0).body, QString());
}

TEST(MessageFileReader, SameTextWithOtherEncodingOrLineEndsReadsTheSame)
{
    QTemporaryDir dir;
    const QString a = writeFile(dir.path(), QStringLiteral("a.eml"),
                                "Subject: S\nContent-Type: text/plain; charset=utf-8\n\nZ\xC3\xBCrich\nline\n");
    const QString b = writeFile(dir.path(), QStringLiteral("b.eml"),
                                "Subject: S\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
                                "Content-Transfer-Encoding: base64\r\n\r\nWvxyaWNoDQpsaW5lDQo=\r\n");
    EXPECT_EQ(readMessageFile(a, FieldNeeds::keyFields()).body, readMessageFile(b, FieldNeeds::keyFields()).body);
}

// Broken input from tests/data/hostile: each file either reads with replacement characters where bytes are
// bad, or fails with StoreError (an empty file and random bytes are no message). Nothing else may happen.
struct HostileCase
{
    const char* file;
    bool readable;
    const char* bodyContains;
};

class HostileFixture : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P(HostileFixture, ReadsOrFailsCleanly)
{
    const HostileCase& c = GetParam();
    const QString path = fixture(c.file);
    if (!c.readable) {
        EXPECT_THROW(readMessageFile(path, FieldNeeds::everything()), StoreError);
        return;
    }
    const ParsedMessage m = readMessageFile(path, FieldNeeds::everything());
    EXPECT_TRUE(m.body.contains(QString::fromUtf8(c.bodyContains))) << m.body.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, HostileFixture,
    ::testing::Values(HostileCase { "hostile/empty.eml", false, "" },
                      HostileCase { "hostile/random-bytes.eml", false, "" },
                      HostileCase { "hostile/no-body.eml", true, "" },
                      HostileCase { "hostile/broken-base64.eml", true, "Hello " },
                      HostileCase { "hostile/broken-qp.eml", true, "Softbreak" },
                      HostileCase { "hostile/unknown-charset.eml", true, "Plain ASCII and \xEF\xBF\xBD" },
                      HostileCase { "hostile/invalid-utf8.eml", true, "Before \xEF\xBF\xBD( after" }));

TEST(MessageFileReader, HugeMessageDecodesOnlyUpToTheLimit)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/huge.eml");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Subject: Huge\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n");
        const QByteArray line = QByteArray(57, 'x').toBase64() + '\n';
        QByteArray block;
        for (int i = 0; i < 1000; ++i) {
            block += line;
        }
        while (file.size() < 50LL * 1024 * 1024) {
            file.write(block);
        }
    }
    const ParsedMessage m = readMessageFile(path, FieldNeeds::everything());
    EXPECT_EQ(m.subject, QStringLiteral("Huge"));
    EXPECT_EQ(m.body.size(), kDefaultBodyLimit);
    EXPECT_FALSE(m.bodyComplete);
    EXPECT_EQ(m.htmlBody.size(), kMaxHtmlBodyLength + 11); // "<pre></pre>" around the cut text
    EXPECT_GT(m.fileSize, 50LL * 1024 * 1024 - 1);
}

TEST(MessageFileReader, StructuralAbuseEndsWithAClearOutcome)
{
    QTemporaryDir dir;
    // Headers that never end: the subject is read, there is no body.
    QByteArray endless = "Subject: Endless\n";
    while (endless.size() < 4 * 1024 * 1024) {
        endless += "X-Filler: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n";
    }
    const QString endlessPath = writeFile(dir.path(), QStringLiteral("endless.eml"), endless);
    const ParsedMessage headers = readMessageFile(endlessPath, FieldNeeds::everything());
    EXPECT_EQ(headers.subject, QStringLiteral("Endless"));
    EXPECT_TRUE(headers.body.isEmpty());

    // Multiparts nested thousands deep: no stack overflow; the text below the depth limit is not looked for.
    QByteArray nested = "Subject: Deep\n";
    const int depth = 2000;
    for (int i = 0; i < depth; ++i) {
        nested += "Content-Type: multipart/mixed; boundary=\"b" + QByteArray::number(i) + "\"\n\n--b"
            + QByteArray::number(i) + "\n";
    }
    nested += "Content-Type: text/plain\n\nDeep text\n";
    for (int i = depth - 1; i >= 0; --i) {
        nested += "--b" + QByteArray::number(i) + "--\n";
    }
    const QString nestedPath = writeFile(dir.path(), QStringLiteral("nested.eml"), nested);
    const ParsedMessage deep = readMessageFile(nestedPath, FieldNeeds::everything());
    EXPECT_EQ(deep.subject, QStringLiteral("Deep"));
    EXPECT_FALSE(deep.body.contains(QStringLiteral("Deep text")));
}

TEST(MessageFileReader, WhatIsNoRegularFileFailsWithoutBlocking)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.path() + "/fifo.eml");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_THROW(readMessageFile(fifo, FieldNeeds::everything()), StoreError);

    QDir().mkpath(dir.path() + "/dir.eml");
    EXPECT_THROW(readMessageFile(dir.path() + "/dir.eml", FieldNeeds::everything()), StoreError);

    const QString target = writeFile(dir.path(), QStringLiteral("target.eml"), simpleMessage("t"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(dir.path() + "/link.eml").constData()),
              0);
    EXPECT_THROW(readMessageFile(dir.path() + "/link.eml", FieldNeeds::everything()), StoreError);
    EXPECT_THROW(readMessageFile(dir.path() + "/missing.eml", FieldNeeds::everything()), StoreError);
}

TEST(MessageFileReader, WorkerThreadsReadTheSameFieldsAsOneThread)
{
    const std::vector<QString> files
        = { fixture("messages/plain-utf8.eml"), fixture("messages/latin1-qp.eml"), fixture("messages/html-only.eml"),
            fixture("messages/alternative-inline-image.eml") };
    auto readAllFiles = [&files] {
        QStringList out;
        for (int round = 0; round < 20; ++round) {
            for (const QString& file : files) {
                const ParsedMessage m = readMessageFile(file, FieldNeeds::everything());
                out << m.subject + m.displayTo + m.displayFrom + m.body + m.htmlBody;
            }
        }
        return out;
    };
    std::vector<std::future<QStringList>> workers;
    for (int i = 0; i < 4; ++i) {
        workers.push_back(std::async(std::launch::async, readAllFiles));
    }
    const QStringList expected = readAllFiles();
    for (auto& worker : workers) {
        EXPECT_EQ(worker.get(), expected);
    }
}

} // namespace
