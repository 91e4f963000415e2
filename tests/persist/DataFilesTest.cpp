#include "persist/DataFiles.h"

#include "detection/FieldTicks.h"
#include "persist/FormStorage.h"
#include "persist/XmlStorage.h"
#include "platform/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

TEST(DataFilesTest, SetUpCreatesTheFolderAndPointsLogThenConfigurationIntoIt)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("home/.config/Kestrun/Velmora for Outlook Express"));
    XmlStorage storage;
    storage.setFlushOnDestroy(false);
    QString logName;
    QString configAtLogTime = QStringLiteral("unset");
    const DataFiles files = SetUpDataFiles(folder, storage, [&](const QString& name) {
        logName = name;
        configAtLogTime = storage.fileName();
    });
    EXPECT_TRUE(files.folderReady);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(logName, folder + QStringLiteral("/error.log"));
    EXPECT_TRUE(configAtLogTime.isEmpty()) << "the log is set up before the configuration is loaded";
    EXPECT_EQ(storage.fileName(), folder + QStringLiteral("/config.xml"));
    EXPECT_EQ(files.configFileName, storage.fileName());
    EXPECT_FALSE(storage.hasError());
}

TEST(DataFilesTest, DataFolderFollowsAnAbsoluteConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/velmora-config-home/");
    EXPECT_EQ(DataFolder(), QStringLiteral("/tmp/velmora-config-home/Kestrun/Velmora for Outlook Express"));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(DataFolder(), QDir::homePath() + QStringLiteral("/.config/Kestrun/Velmora for Outlook Express"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ApplicationDataFolder(), QDir::homePath() + QStringLiteral("/.config"));
    if (had) {
        qputenv("XDG_CONFIG_HOME", saved);
    }
}

TEST(DataFilesTest, CheckListTicksFollowTheStoredWords)
{
    struct Case
    {
        const char* stored; // null: no value
        bool displayTo;
    };
    const Case cases[]
        = { { "yes", true }, { "0", false }, { "abc", true }, { "", true }, { "FALSE", false }, { nullptr, false } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        XmlStorage storage;
        storage.setFlushOnDestroy(false);
        FormStorage form(storage);
        if (c.stored) {
            form.writeString(QStringLiteral("CLB\\EmailsCheckList\\Item2"), QString::fromLatin1(c.stored));
        }
        FieldTicks ticks; // Subject and Body ticked
        RestoreCheckListTicks(form, ticks);
        EXPECT_EQ(ticks.isChecked(SearchField::DisplayTo), c.displayTo);
        EXPECT_TRUE(ticks.isChecked(SearchField::Subject));
        EXPECT_FALSE(ticks.isChecked(SearchField::Size));
    }

    XmlStorage storage;
    storage.setFlushOnDestroy(false);
    FormStorage form(storage);
    FieldTicks ticks;
    ticks.setChecked(0, false);
    ticks.setChecked(4, true);
    SaveCheckListTicks(form, ticks);
    const char* expected[] = { "FALSE", "TRUE", "FALSE", "FALSE", "TRUE" };
    for (int i = 0; i < FieldTicks::kCount; ++i) {
        EXPECT_EQ(form.readString(QStringLiteral("CLB\\EmailsCheckList\\Item%1").arg(i), {}),
                  QString::fromLatin1(expected[i]));
    }
}

} // namespace
