// Messages of a common shape are read straight from their bytes; everything else goes through GMime's MIME tree.
// Both readings must give the same fields for every message, or two copies of one message, read the two ways,
// would stop being duplicates (or two different messages could start being ones).
#include "store/MessageFileReader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

std::optional<ParsedMessage> readOrNothing(const QString& path, FieldNeeds needs)
{
    try {
        return readMessageFile(path, needs);
    } catch (const StoreError&) {
        return std::nullopt;
    }
}

// Reads `path` both ways with `needs` and reports every field that differs. Returns whether the direct reading
// was taken.
bool expectSameReading(const QString& path, FieldNeeds needs)
{
    FieldNeeds full = needs;
    full.fullParse = true;
    const std::optional<ParsedMessage> direct = readOrNothing(path, needs);
    const std::optional<ParsedMessage> tree = readOrNothing(path, full);
    EXPECT_EQ(direct.has_value(), tree.has_value()) << path.toStdString();
    if (!direct || !tree) {
        return false;
    }
    EXPECT_FALSE(tree->readDirectly);
    const std::string where = path.toStdString();
    EXPECT_EQ(direct->subject, tree->subject) << where;
    EXPECT_EQ(direct->displayTo, tree->displayTo) << where;
    EXPECT_EQ(direct->displayFrom, tree->displayFrom) << where;
    EXPECT_EQ(direct->body, tree->body) << where;
    EXPECT_EQ(direct->bodyComplete, tree->bodyComplete) << where;
    EXPECT_EQ(direct->htmlBody, tree->htmlBody) << where;
    // Names left raw for later give the same names once asked for.
    FieldNeeds deferred = needs;
    deferred.deferNames = true;
    std::optional<ParsedMessage> late = readOrNothing(path, deferred);
    EXPECT_TRUE(late.has_value()) << where;
    if (late) {
        resolveDisplayNames(*late);
        EXPECT_EQ(late->displayTo, tree->displayTo) << where;
        EXPECT_EQ(late->displayFrom, tree->displayFrom) << where;
        EXPECT_FALSE(late->namesPending) << where;
    }
    return direct->readDirectly;
}

class DirectReading : public ::testing::Test
{
protected:
    QString write(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("m%1.eml").arg(++m_count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};

struct Case
{
    const char* name;
    const char* bytes;
    bool direct; // whether the shape allows the direct reading
};

const Case kCases[] = {
    { "folded fields", "Subject:  Hello\n\tworld  \nTo: Ann <a@x>,\n Bob <b@x>\nFrom: c@x\n\nbody\n\n", true },
    { "encoded words",
      "Subject: =?utf-8?B?0JLRgdGC0YDQtQ==?= =?utf-8?B?0YfQsA==?= x\nFrom: =?iso-8859-1?Q?J=F6rg?= <j@x>\n\nb\n",
      true },
    { "address group", "To: team: Ann <a@x>, b@x;, \"Doe, J\" <d@x>\n\nb\n", true },
    { "no content type, no final newline", "Subject: s\n\nbody without end", true },
    { "html only", "Content-Type: TEXT/HTML; charset=\"utf-8\"\n\n<p>Hi&amp;<b>there</b></p>\n", true },
    { "latin1 quoted-printable",
      "Content-Type: text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable\n\n"
      "Gr=FC=DFe, soft=\n break=\n",
      true },
    { "base64", "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n0J/RgNC4\nwqA=\n",
      true },
    { "multipart with preface and epilogue",
      "Content-Type: multipart/mixed; boundary=\"b\"\n\npre\n--b\n\none\n--b \t\nContent-Type: "
      "text/html\n\n<i>two</i>\n\n"
      "--b--\nepi\n",
      true },
    { "boundary-like content lines",
      "Content-Type: multipart/mixed; boundary=b\n\n--b\n\none\n--bX\n--b--x\nmore\n--b--\n", true },
    { "empty parts", "Content-Type: multipart/mixed; boundary=b\n\n--b\n\n--b\n\n\n--b--\n", true },
    { "nested alternative and attachment",
      "Content-Type: multipart/mixed;\n boundary=\"outer\"\n\n--outer\nContent-Type: multipart/alternative; "
      "boundary=inner\n\n"
      "--inner\nContent-Type: text/plain; charset=us-ascii\n\nplain text\n--inner\nContent-Type: "
      "text/html\n\n<p>html</p>\n"
      "--inner--\nafter inner\n--outer\nContent-Type: text/plain; name=a.txt\nContent-Disposition: attachment; "
      "filename=a.txt\n\nattached\n--outer--\n",
      true },
    { "text attachment before the body",
      "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\nContent-Disposition: "
      "ATTACHMENT\n\nnot "
      "the body\n--b\nContent-Type: text/plain\n\nthe body\n--b--\n",
      true },
    { "top-level attachment", "Content-Type: text/plain\nContent-Disposition: attachment; filename=x\n\nfile\n", true },
    { "other leaf types", "Content-Type: image/png\nContent-Transfer-Encoding: base64\n\niVBORw0KGgo=\n", true },
    { "CRLF line ends",
      "Subject: a\r\n b\r\nTo: A <a@x>\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n"
      "one\r\n\r\n--b \r\n\r\n\r\n--b--\r\n",
      true },
    // Before a CRLF boundary line two bytes go, even after a bare LF; before one at the end without any, one.
    { "mixed line ends", "Content-Type: multipart/mixed; boundary=b\n\n--b\n\none\r\n--b\n\ntwo\n--b--\r\n", true },
    { "end boundary without line end", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\none\r\n--b--",
      true },
    { "CRLF top-level body", "Subject: x\r\n\r\nbody\r\nline\r\n", true },
    // Shapes left to the full parser; both readings must still agree.
    { "part shorter than the line end", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n\n--b--\r\n",
      false },
    { "bare CR", "Subject: x\r\r\nTo: y\r\n\r\nb\r\n", false },
    { "missing end boundary", "Content-Type: multipart/mixed; boundary=b\n\n--b\n\none\n", false },
    { "header line that is no field", "Subject: x\nbad line\nTo: y\n\nbody\n", false },
    { "part header that is no field", "Content-Type: multipart/mixed; boundary=b\n\n--b\nno header\n\none\n--b--\n",
      false },
    { "8-bit fields",
      "Subject: Gr\xc3\xbc\xc3\x9f\x65 \xf0\x9f\x99\x82\nFrom: J\xc3\xb6rg <j@x>\nTo: \"M\xc3\xbcller, A\" "
      "<a@x>\n\nb\n",
      true },
    { "8-bit latin1 fields", "Subject: Gr\xfc\xdf\x65\nFrom: J\xf6rg <j@x>\n\nb\n", true },
    { "encoded file name",
      "Content-Type: multipart/mixed; boundary=b\n\n--b\n\nbody\n--b\nContent-Type: application/pdf; "
      "name=\"=?UTF-8?Q?Pr=C3=A4sentation.pdf?=\"\n\nxx\n--b--\n",
      true },
    { "encoded charset", "Content-Type: text/plain; charset=\"=?x?Q?y?=\"\n\nb\n", false },
    { "RFC 2231 charset", "Content-Type: text/plain; charset*=utf-8''x\n\nb\n", false },
    { "repeated subject", "Subject: a\nSubject: b\n\nb\n", false },
    { "repeated content type", "Content-Type: text/html\nContent-Type: text/plain\n\nb\n", false },
    { "attached message",
      "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: message/rfc822\n\nSubject: inner\n\ninner "
      "body\n--b\n\nouter\n--b--\n",
      false },
    { "outer boundary inside inner part",
      "Content-Type: multipart/mixed; boundary=o\n\n--o\nContent-Type: multipart/alternative; "
      "boundary=i\n\n--i\n\nx\n--o\n"
      "\ny\n--o--\n",
      false },
    { "comment in content type", "Content-Type: text/plain (plain); charset=utf-8\n\nb\n", false },
    { "uuencode", "Content-Transfer-Encoding: x-uuencode\n\nbegin 644 a\n#86)C\n`\nend\n", false },
    { "mbox From line", "From a@b Mon Jan  1 00:00:00 2024\nSubject: x\n\nb\n", false },
    { "no blank line", "Subject: only headers\n", false },
};

} // namespace

TEST_F(DirectReading, AgreesWithTheMimeTreeOnEveryShape)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const QString path = write(QByteArray(c.bytes));
        EXPECT_EQ(expectSameReading(path, FieldNeeds::everything()), c.direct);
        // Header block alone, as the search reads it when the body is not compared.
        expectSameReading(path, FieldNeeds { true, false, false });
        // A body limit that cuts inside the text.
        expectSameReading(path, FieldNeeds::keyFields(3));
    }
    const char nul[] = "Subject: x\n\nb\0c\n";
    EXPECT_FALSE(expectSameReading(write(QByteArray(nul, sizeof nul - 1)), FieldNeeds::everything()));
}

TEST_F(DirectReading, ReadsTheSameAsTheMimeTreeOverEveryStoredMessage)
{
    QStringList roots { QStringLiteral(VELMORA_TEST_DATA), QStringLiteral(VELMORA_SOURCE_DIR "/examples") };
    const QString generator = QStringLiteral(VELMORA_SOURCE_DIR "/../shared/tools/gen_maildir.py");
    if (!QFileInfo::exists(generator)) {
        GTEST_SKIP() << "the store generator is not beside the project";
    }
    {
        const QString store = m_dir.filePath(QStringLiteral("generated"));
        QProcess process;
        process.start(QStringLiteral("python3"),
                      { generator, QStringLiteral("--out"), store, QStringLiteral("--messages"), QStringLiteral("1500"),
                        QStringLiteral("--near-miss-fraction"), QStringLiteral("0.05"),
                        QStringLiteral("--crlf-fraction"), QStringLiteral("0.1"), QStringLiteral("--seed"),
                        QStringLiteral("11") });
        ASSERT_TRUE(process.waitForFinished(120000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        roots << store;
    }
    int files = 0;
    int direct = 0;
    for (const QString& root : roots) {
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QFileInfo(path).size() > 2 * 1024 * 1024) {
                continue;
            }
            ++files;
            direct += expectSameReading(path, FieldNeeds::everything()) ? 1 : 0;
            expectSameReading(path, FieldNeeds { true, false, false });
        }
    }
    ASSERT_GT(files, 1000);
    // The direct reading must carry the bulk of ordinary mail, or it buys nothing.
    EXPECT_GT(direct, files * 9 / 10) << direct << " of " << files;
}
