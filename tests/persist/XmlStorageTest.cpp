#include "persist/XmlStorage.h"

#include "ConfigTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// A storage that writes to no file unless a test flushes it.
struct TestStorage : XmlStorage
{
    TestStorage() { setFlushOnDestroy(false); }
};

TEST(XmlStorageTest, ReadsConvertStoredTextTheWayTheFileKeepsIt)
{
    struct Case
    {
        const char* text;
        bool boolean;
        qint64 integer;
    };
    const Case cases[] = {
        { "TRUE", true, -1 }, { "yes", true, -1 },
        { "Y", true, -1 },    { "false", false, -1 },
        { "No", false, -1 },  { "n", false, -1 },
        { "0", false, 0 },    { "1", true, 1 },
        { "-42", true, -42 }, { "abc", true, -1 },
        { "", true, -1 },     { " 17 ", true, 17 },
        { "yess", true, -1 }, { "9000000000", true, 9000000000 },
        { "0x10", true, -1 },
    };
    TestStorage storage;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        storage.writeString(QStringLiteral("MainForm\\Value"), QString::fromUtf8(c.text));
        EXPECT_EQ(storage.readBoolean(QStringLiteral("MainForm\\Value"), !c.boolean), c.boolean);
        EXPECT_EQ(storage.readInteger(QStringLiteral("MainForm\\Value"), 240), c.integer);
    }
    // A missing value gives the caller's default, whatever it is.
    EXPECT_FALSE(storage.readBoolean(QStringLiteral("MainForm\\Missing"), false));
    EXPECT_TRUE(storage.readBoolean(QStringLiteral("MainForm\\Missing"), true));
    EXPECT_EQ(storage.readInteger(QStringLiteral("MainForm\\Missing"), 240), 240);
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\Missing"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_FALSE(storage.valueStored(QStringLiteral("MainForm\\Missing")));

    storage.writeBoolean(QStringLiteral("MainForm\\B"), false);
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\B"), {}), QStringLiteral("FALSE"));
    storage.writeInteger(QStringLiteral("MainForm\\I"), -7);
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\I"), {}), QStringLiteral("-7"));
}

TEST(XmlStorageTest, KeySegmentsBecomeElementNamesCharacterForCharacter)
{
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("MinMaxPos(1920x1080)"), QStringLiteral("MinMaxPos_1920x1080_") },
        { QStringLiteral("Folder name\twith spaces"), QStringLiteral("Folder_name_with_spaces") },
        { QStringLiteral("Grüße"), QStringLiteral("Gr__e") },
        { QStringLiteral("ok-1.2:x_Y"), QStringLiteral("ok-1.2:x_Y") },
        { QStringLiteral("2ndTry"), QStringLiteral("_ndTry") },
    };
    for (const auto& [segment, element] : cases) {
        EXPECT_EQ(XmlStorage::ElementName(segment), element) << segment.toStdString();
    }

    TestStorage storage;
    storage.setNewDocumentEncoding(QStringLiteral("UTF-8"));
    storage.setFileName({});
    storage.writeString(QStringLiteral("Configuration\\MainForm\\MinMaxPos(1920x1080)"), QStringLiteral("1,2,3,4"));
    storage.writeString(QStringLiteral("MainForm\\My Folder\\A B"), QStringLiteral("x"));
    // The same key with or without the root's name, and with the original characters, finds the value.
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\MinMaxPos(1920x1080)"), {}), QStringLiteral("1,2,3,4"));
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\MinMaxPos_1920x1080_"), {}), QStringLiteral("1,2,3,4"));
    EXPECT_EQ(storage.readString(QStringLiteral("Configuration\\MainForm\\My Folder\\A B"), {}), QStringLiteral("x"));
    EXPECT_EQ(storage.toBytes(),
              Lines({
                  R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)",
                  "<Configuration>",
                  "  <MainForm>",
                  "    <MinMaxPos_1920x1080_>1,2,3,4</MinMaxPos_1920x1080_>",
                  "    <My_Folder>",
                  "      <A_B>x</A_B>",
                  "    </My_Folder>",
                  "  </MainForm>",
                  "</Configuration>",
              }));
}

TEST(XmlStorageTest, ValuesWithMarkupAndControlCharactersComeBackAfterASave)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("config.xml"));
    const QString tricky = QStringLiteral("a<b> & \"c\" 'd'\r\nline\ttab ]]> Grüße");
    {
        TestStorage storage;
        storage.setFileName(file);
        storage.writeString(QStringLiteral("MainForm\\Text"), tricky);
        storage.writeString(QStringLiteral("MainForm\\Bell"), QStringLiteral("x") + QChar(7) + QStringLiteral("y"));
        ASSERT_TRUE(storage.flush()) << storage.errorString().toStdString();
        EXPECT_TRUE(storage.toBytes().contains("a&lt;b&gt; &amp; \"c\""));
    }
    TestStorage reloaded;
    reloaded.setFileName(file);
    EXPECT_FALSE(reloaded.hasError()) << reloaded.errorString().toStdString();
    EXPECT_EQ(reloaded.readString(QStringLiteral("MainForm\\Text"), {}), tricky);
    // A character XML cannot hold must not make the whole file unreadable.
    EXPECT_EQ(reloaded.readString(QStringLiteral("MainForm\\Bell"), {}), QStringLiteral("x\uFFFDy"));
}

TEST(XmlStorageTest, UnknownElementsKeepTheirPlaceAndNewValuesGoLast)
{
    QTemporaryDir dir;
    const QString file = CopyFixture(QStringLiteral("unknown-elements.xml"), dir.path());
    const QByteArray original = ReadBytes(file);
    {
        TestStorage storage;
        storage.setFileName(file);
        ASSERT_FALSE(storage.hasError()) << storage.errorString().toStdString();
        // Unchanged, the file comes back byte for byte.
        EXPECT_EQ(storage.toBytes(), original);
        EXPECT_EQ(storage.readString(QStringLiteral("Other\\Deep"), {}), QStringLiteral("kept <as> is"));
        storage.writeInteger(QStringLiteral("MainForm\\ShowCmd"), 1);
        storage.writeBoolean(QStringLiteral("MainForm\\OutlookChecked"), true);
        ASSERT_TRUE(storage.flush());
    }
    EXPECT_EQ(ReadBytes(file),
              Lines({
                  R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)",
                  "<!-- written by hand -->",
                  "<Configuration>",
                  R"(  <Other kind="legacy" note="a &amp; b">)",
                  "    <Deep>kept &lt;as&gt; is</Deep>",
                  "    <Empty/>",
                  "  </Other>",
                  "  <MainForm>",
                  "    <FormVersion>0</FormVersion>",
                  "    <!-- a note inside -->",
                  "    <FromAnotherVersion>7</FromAnotherVersion>",
                  "    <ShowCmd>1</ShowCmd>",
                  "    <OutlookChecked>TRUE</OutlookChecked>",
                  "  </MainForm>",
                  "</Configuration>",
              }));
}

TEST(XmlStorageTest, LoadedFilesAreWrittenBackInTheirOwnEncoding)
{
    struct Case
    {
        const char* fixture;
        const char* encoding;
        const char16_t* lastStore;
    };
    const Case cases[] = {
        { "utf16.xml", "UTF-16", u"/home/jörg/Grüße/Mail" },
        { "windows-1252.xml", "windows-1252", u"/home/andré/€uro" },
        { "utf8-bom.xml", "UTF-8", u"/srv/mail/Café" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        QTemporaryDir dir;
        const QString file = CopyFixture(QString::fromLatin1(c.fixture), dir.path());
        const QByteArray original = ReadBytes(file);
        TestStorage storage;
        storage.setFileName(file);
        ASSERT_FALSE(storage.hasError()) << storage.errorString().toStdString();
        EXPECT_EQ(storage.encoding().name, QString::fromLatin1(c.encoding));
        EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\LastStore"), {}), QString::fromUtf16(c.lastStore));
        EXPECT_EQ(storage.toBytes(), original);

        // A character the code page lacks survives as a character reference.
        storage.writeString(QStringLiteral("MainForm\\LastStore"), QStringLiteral("/mail/Жук €"));
        ASSERT_TRUE(storage.flush());
        TestStorage reloaded;
        reloaded.setFileName(file);
        ASSERT_FALSE(reloaded.hasError()) << reloaded.errorString().toStdString();
        EXPECT_EQ(reloaded.encoding().name, QString::fromLatin1(c.encoding));
        EXPECT_EQ(reloaded.readString(QStringLiteral("MainForm\\LastStore"), {}), QStringLiteral("/mail/Жук €"));
        EXPECT_EQ(ReadBytes(file).left(3), original.left(3)) << "byte-order mark or first bytes changed";
    }

    QTemporaryDir dir;
    const QString file = CopyFixture(QStringLiteral("windows-1252.xml"), dir.path());
    TestStorage storage;
    storage.setFileName(file);
    storage.writeString(QStringLiteral("MainForm\\LastStore"), QStringLiteral("Жé"));
    EXPECT_TRUE(storage.toBytes().contains("<LastStore>&#1046;\xE9</LastStore>"));
}

TEST(XmlStorageTest, NewDocumentDeclaresTheLocaleCharacterSet)
{
    QTemporaryDir dir;
    TestStorage storage;
    storage.setNewDocumentEncoding(QStringLiteral("windows-1252"));
    storage.setFileName(dir.filePath(QStringLiteral("config.xml")));
    storage.writeString(QStringLiteral("MainForm\\LastStore"), QStringLiteral("é"));
    EXPECT_EQ(storage.toBytes(),
              Lines({
                  R"(<?xml version="1.0" encoding="windows-1252" standalone="no"?>)",
                  "<Configuration>",
                  "  <MainForm>",
                  "    <LastStore>\xE9</LastStore>",
                  "  </MainForm>",
                  "</Configuration>",
              }));
    EXPECT_FALSE(QFileInfo::exists(storage.fileName())) << "nothing reaches the disk before the flush";
}

TEST(XmlStorageTest, LocaleCharacterSetComesFromTheEnvironment)
{
    const char* variables[] = { "LC_ALL", "LC_CTYPE", "LANG" };
    QByteArray saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        had[i] = qEnvironmentVariableIsSet(variables[i]);
        saved[i] = qgetenv(variables[i]);
        qunsetenv(variables[i]);
    }
    const std::pair<const char*, const char*> cases[] = {
        { "C", "UTF-8" },
        { "POSIX", "UTF-8" },
        { "de_DE.UTF-8", "UTF-8" },
        { "en_US.utf8", "UTF-8" },
        { "de_DE.ISO-8859-15@euro", "ISO-8859-15" },
        { "pl_PL.CP1250", "windows-1250" },
        { "xx_XX.no-such-set", "UTF-8" },
    };
    for (const auto& [locale, charset] : cases) {
        qputenv("LANG", locale);
        EXPECT_EQ(LocaleCharsetName(), QString::fromLatin1(charset)) << locale;
    }
    qputenv("LANG", "de_DE.ISO-8859-1");
    qputenv("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LocaleCharsetName(), QStringLiteral("UTF-8"));
    for (int i = 0; i < 3; ++i) {
        if (had[i]) {
            qputenv(variables[i], saved[i]);
        } else {
            qunsetenv(variables[i]);
        }
    }
}

TEST(XmlStorageTest, ReadOnlyFileIsReadButNeverWritten)
{
    QTemporaryDir dir;
    const QString file = CopyFixture(QStringLiteral("unknown-elements.xml"), dir.path());
    const QByteArray original = ReadBytes(file);
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    {
        XmlStorage storage; // flushes when destroyed
        storage.setFileName(file);
        EXPECT_TRUE(storage.isReadOnly());
        EXPECT_EQ(storage.readInteger(QStringLiteral("MainForm\\ShowCmd"), 0), 3);
        storage.writeInteger(QStringLiteral("MainForm\\ShowCmd"), 1);
        storage.writeBoolean(QStringLiteral("MainForm\\OutlookChecked"), true);
        EXPECT_EQ(storage.readInteger(QStringLiteral("MainForm\\ShowCmd"), 0), 3);
        EXPECT_FALSE(storage.valueStored(QStringLiteral("MainForm\\OutlookChecked")));
        EXPECT_TRUE(storage.flush());
    }
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("config.xml") });
}

struct FailingStorage : TestStorage
{
    bool writeBytes(QIODevice& file, const QByteArray& bytes) override
    {
        file.write(bytes.left(bytes.size() / 2));
        return false;
    }
};

TEST(XmlStorageTest, FailedWriteLeavesThePreviousFileWhole)
{
    QTemporaryDir dir;
    const QString file = CopyFixture(QStringLiteral("unknown-elements.xml"), dir.path());
    const QByteArray original = ReadBytes(file);
    FailingStorage storage;
    storage.setFileName(file);
    storage.writeString(QStringLiteral("MainForm\\LastStore"), QStringLiteral("/mail"));
    EXPECT_FALSE(storage.flush());
    EXPECT_TRUE(storage.hasError());
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("config.xml") });

    // A folder that cannot be created (its parent is a file) is reported, not thrown.
    WriteBytes(dir.filePath(QStringLiteral("plain-file")), "x");
    TestStorage blocked;
    blocked.setFileName(dir.filePath(QStringLiteral("plain-file/Kestrun/config.xml")));
    blocked.writeBoolean(QStringLiteral("MainForm\\OutlookChecked"), true);
    EXPECT_FALSE(blocked.flush());
    EXPECT_TRUE(blocked.hasError());
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("plain-file"))), QByteArray("x"));
}

TEST(XmlStorageTest, MalformedFileIsKeptAsideAndSettingsStartEmpty)
{
    const char* fixtures[] = { "broken-unclosed.xml", "broken-two-roots.xml",       "broken-not-xml.xml",
                               "broken-bad-utf8.xml", "broken-unknown-charset.xml", "broken-mismatched-tags.xml" };
    for (const char* fixture : fixtures) {
        SCOPED_TRACE(fixture);
        QTemporaryDir dir;
        const QString file = CopyFixture(QString::fromLatin1(fixture), dir.path());
        const QByteArray original = ReadBytes(file);
        TestStorage storage;
        storage.setFileName(file);
        EXPECT_TRUE(storage.hasError());
        EXPECT_FALSE(storage.errorString().isEmpty());
        ASSERT_FALSE(storage.brokenFileKeptAs().isEmpty());
        EXPECT_TRUE(QFileInfo(storage.brokenFileKeptAs()).fileName().startsWith(QStringLiteral("config.xml.broken-")));
        EXPECT_EQ(ReadBytes(storage.brokenFileKeptAs()), original);
        EXPECT_FALSE(QFileInfo::exists(file));
        EXPECT_EQ(storage.readInteger(QStringLiteral("MainForm\\ShowCmd"), 5), 5);

        // The program goes on and writes a fresh file at its end; the kept copy stays.
        storage.writeInteger(QStringLiteral("MainForm\\ShowCmd"), 1);
        ASSERT_TRUE(storage.flush());
        TestStorage reloaded;
        reloaded.setFileName(file);
        EXPECT_FALSE(reloaded.hasError());
        EXPECT_EQ(reloaded.readInteger(QStringLiteral("MainForm\\ShowCmd"), 5), 1);
        EXPECT_EQ(ReadBytes(storage.brokenFileKeptAs()), original);
    }
}

TEST(XmlStorageTest, BrokenReadOnlyFileStaysInPlaceUntouched)
{
    QTemporaryDir dir;
    const QString file = CopyFixture(QStringLiteral("broken-unclosed.xml"), dir.path());
    const QByteArray original = ReadBytes(file);
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner));
    XmlStorage storage;
    storage.setFileName(file);
    EXPECT_TRUE(storage.hasError());
    EXPECT_TRUE(storage.brokenFileKeptAs().isEmpty());
    EXPECT_TRUE(storage.flush());
    EXPECT_EQ(ReadBytes(file), original);
}

TEST(XmlStorageTest, FileIsWrittenOnceWhenTheStorageIsDestroyed)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("new/folder/config.xml"));
    {
        XmlStorage storage;
        storage.setNewDocumentEncoding(QStringLiteral("UTF-8"));
        storage.setFileName(file);
        EXPECT_FALSE(storage.hasError());
        storage.writeBoolean(QStringLiteral("MainForm\\OutlookChecked"), true);
        EXPECT_FALSE(QFileInfo::exists(file));
    }
    EXPECT_EQ(ReadBytes(file),
              Lines({
                  R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)",
                  "<Configuration>",
                  "  <MainForm>",
                  "    <OutlookChecked>TRUE</OutlookChecked>",
                  "  </MainForm>",
                  "</Configuration>",
              }));
}

} // namespace
