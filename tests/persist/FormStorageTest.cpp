#include "persist/FormStorage.h"
#include "persist/XmlStorage.h"

#include "FakeWindow.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

struct FormStorageTest : ::testing::Test
{
    FormStorageTest()
    {
        xml.setFlushOnDestroy(false);
        form.setPlacementHost(&window);
        form.setPropertiesHost(&window);
    }

    void store(const char* key, const char* value)
    {
        xml.writeString(QStringLiteral("MainForm\\") + QString::fromLatin1(key), QString::fromLatin1(value));
    }
    QString stored(const char* key) const
    {
        return xml.readString(QStringLiteral("MainForm\\") + QString::fromLatin1(key), QStringLiteral("<missing>"));
    }

    XmlStorage xml;
    FormStorage form { xml };
    FakeWindow window;
};

TEST_F(FormStorageTest, TypedAccessIsRelativeToTheWindowSection)
{
    form.writeBoolean(QStringLiteral("CLB\\EmailsCheckList\\Item0"), true);
    form.writeInteger(QStringLiteral("ItemsVST\\Column0Width"), 184);
    EXPECT_EQ(xml.readString(QStringLiteral("MainForm\\CLB\\EmailsCheckList\\Item0"), {}), QStringLiteral("TRUE"));
    EXPECT_EQ(form.readInteger(QStringLiteral("ItemsVST\\Column0Width"), 0), 184);
    EXPECT_EQ(form.readString(QStringLiteral("Nothing"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST_F(FormStorageTest, SavedPlacementAndPropertiesComeBack)
{
    window.present = { WindowShowState::Maximized, 2, { -1, -1 }, { -8, -8 }, 50, 60, 1250, 860 };
    window.properties = { 300, 150, 2, false, true };
    ASSERT_TRUE(form.restoreFormPlacement()); // nothing stored: nothing changes
    EXPECT_FALSE(window.applied);
    form.saveFormPlacement();
    EXPECT_EQ(stored("ShowCmd"), QStringLiteral("3"));
    EXPECT_EQ(stored("MinMaxPos(1920x1080)"), QStringLiteral("-1,-1,-8,-8"));
    EXPECT_EQ(stored("NormPos"), QStringLiteral("50,60,1250,860"));

    FakeWindow next;
    FormStorage again(xml);
    again.setPlacementHost(&next);
    again.setPropertiesHost(&next);
    ASSERT_TRUE(again.restoreFormPlacement());
    ASSERT_TRUE(next.applied);
    EXPECT_EQ(next.applied->left, 50);
    EXPECT_EQ(next.applied->bottom, 860);
    EXPECT_EQ(next.applied->flags, 2);
    EXPECT_EQ(next.applied->maxPosition, QPoint(-8, -8));
    EXPECT_EQ(next.shownAs, WindowShowState::Maximized);
    EXPECT_EQ(next.properties.foldersPanelWidth, 300);
    EXPECT_EQ(next.properties.itemsPanelHeight, 150);
    EXPECT_EQ(next.properties.markAsDuplicatesItemIndex, 2);
    EXPECT_FALSE(next.properties.deleteRadioChecked);
    EXPECT_TRUE(next.properties.moveToDeletedItemsRadioChecked);

    // Once per run.
    next.applied.reset();
    next.propertiesApplied = 0;
    EXPECT_TRUE(again.restoreFormPlacement());
    EXPECT_FALSE(next.applied);
    EXPECT_EQ(next.propertiesApplied, 0);
}

TEST_F(FormStorageTest, VersionBelowZeroSkipsTheRestoreAndTheSaveWritesOnlyTheVersion)
{
    for (const char* version : { "-1", "abc" }) {
        SCOPED_TRACE(version);
        XmlStorage storage;
        storage.setFlushOnDestroy(false);
        storage.writeString(QStringLiteral("MainForm\\FormVersion"), QString::fromLatin1(version));
        storage.writeString(QStringLiteral("MainForm\\NormPos"), QStringLiteral("10,10,500,400"));
        storage.writeString(QStringLiteral("MainForm\\ShowCmd"), QStringLiteral("3"));
        storage.writeString(QStringLiteral("MainForm\\FoldersPanel_Width"), QStringLiteral("333"));
        FakeWindow host;
        FormStorage gated(storage);
        gated.setPlacementHost(&host);
        gated.setPropertiesHost(&host);
        EXPECT_FALSE(gated.restoreFormPlacement());
        EXPECT_FALSE(host.applied);
        EXPECT_FALSE(host.shownAs);
        EXPECT_EQ(host.propertiesApplied, 0);

        host.present.showState = WindowShowState::Minimized;
        gated.saveFormPlacement();
        EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\FormVersion"), {}), QStringLiteral("0"));
        EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\ShowCmd"), {}), QStringLiteral("3"));
        EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\NormPos"), {}), QStringLiteral("10,10,500,400"));
        EXPECT_FALSE(storage.valueStored(QStringLiteral("MainForm\\PixelsPerInch")));
    }
}

TEST_F(FormStorageTest, RectangleOfThePresentDesktopSizeWinsOverThePlainKey)
{
    store("NormPos(1920x1080)", "10,20,810,620");
    store("NormPos", "30,40,1030,740");
    struct Case
    {
        QSize desktop;
        int left;
    };
    // A new desktop size first takes the plain key (the last save at any size); its own key only later.
    for (const Case& c : { Case { { 2560, 1440 }, 30 }, Case { { 1920, 1080 }, 10 } }) {
        FakeWindow host;
        host.desktop = c.desktop;
        FormStorage storage(xml);
        storage.setPlacementHost(&host);
        storage.restoreFormPlacement();
        ASSERT_TRUE(host.applied);
        EXPECT_EQ(host.applied->left, c.left);

        // A save at this size writes its own key and the plain one; the other size's key stays.
        storage.saveFormPlacement();
        EXPECT_TRUE(xml.valueStored(QStringLiteral("MainForm\\")
                                    + FormStorage::DesktopKey(QStringLiteral("NormPos"), c.desktop)));
    }
    EXPECT_EQ(stored("NormPos(1920x1080)"), QStringLiteral("10,20,810,620"));
    EXPECT_EQ(stored("NormPos(2560x1440)"), QStringLiteral("30,40,1030,740"));
}

TEST_F(FormStorageTest, PlacementThatDoesNotFitTheScreenIsNotApplied)
{
    struct Case
    {
        const char* name;
        const char* normPos;
        const char* pixelsPerInch;
        bool applied;
    };
    const Case cases[] = {
        { "fits", "10,20,810,620", "96", true },
        { "other resolution", "10,20,810,620", "120", false },
        { "left not left of right", "810,20,810,620", "96", false },
        { "top-left off every monitor", "-500,20,300,620", "96", false },
        { "bottom-right corner off by one", "10,20,1921,620", "96", false },
        { "bottom-right corner exactly on the edge", "10,20,1920,1080", "96", true },
        { "missing fields keep the present edges", "10,20", "96", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmlStorage storage;
        storage.setFlushOnDestroy(false);
        storage.writeString(QStringLiteral("MainForm\\NormPos"), QString::fromLatin1(c.normPos));
        storage.writeString(QStringLiteral("MainForm\\PixelsPerInch"), QString::fromLatin1(c.pixelsPerInch));
        FakeWindow host;
        FormStorage form(storage);
        form.setPlacementHost(&host);
        form.restoreFormPlacement();
        EXPECT_EQ(host.applied.has_value(), c.applied);
    }
}

TEST_F(FormStorageTest, ShowCommandsMapToThreeStates)
{
    struct Case
    {
        const char* showCmd;
        WindowShowState state;
    };
    const Case cases[] = {
        { "1", WindowShowState::Normal },    { "5", WindowShowState::Normal },    { "9", WindowShowState::Normal },
        { "2", WindowShowState::Minimized }, { "6", WindowShowState::Minimized }, { "7", WindowShowState::Minimized },
        { "3", WindowShowState::Maximized }, { "0", WindowShowState::Normal },    { "4", WindowShowState::Normal },
        { "abc", WindowShowState::Normal },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.showCmd);
        XmlStorage storage;
        storage.setFlushOnDestroy(false);
        storage.writeString(QStringLiteral("MainForm\\ShowCmd"), QString::fromLatin1(c.showCmd));
        FakeWindow host;
        host.present.showState = WindowShowState::Maximized;
        FormStorage form(storage);
        form.setPlacementHost(&host);
        form.restoreFormPlacement();
        EXPECT_EQ(host.shownAs, c.state);
    }
}

TEST_F(FormStorageTest, StoredPropertyThatIsNoNumberReadsMinusOneAndMissingOnesKeepTheirValue)
{
    store("FoldersPanel_Width", "abc");
    store("DeleteRadio_Checked", "no");
    ASSERT_TRUE(form.restoreFormPlacement());
    EXPECT_EQ(window.properties.foldersPanelWidth, -1);
    EXPECT_EQ(window.properties.itemsPanelHeight, 196);
    EXPECT_FALSE(window.properties.deleteRadioChecked);
    EXPECT_FALSE(window.properties.moveToDeletedItemsRadioChecked);
}

TEST_F(FormStorageTest, DestructionSavesOnlyWhenTheCloseDidNot)
{
    form.restoreFormPlacement();
    window.properties.foldersPanelWidth = 260;
    form.saveFormPlacement();
    window.properties.foldersPanelWidth = 999;
    form.saveIfNotSaved();
    EXPECT_EQ(stored("FoldersPanel_Width"), QStringLiteral("260"));

    XmlStorage storage;
    storage.setFlushOnDestroy(false);
    FormStorage unsaved(storage);
    unsaved.setPropertiesHost(&window);
    unsaved.restoreFormPlacement();
    unsaved.saveIfNotSaved();
    EXPECT_EQ(storage.readString(QStringLiteral("MainForm\\FoldersPanel_Width"), {}), QStringLiteral("999"));
}

} // namespace
