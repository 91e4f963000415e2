#include "detection/FieldTicks.h"
#include "detection/ResultsTree.h"
#include "persist/DataFiles.h"
#include "persist/FormStorage.h"
#include "persist/TreeState.h"
#include "persist/XmlStorage.h"
#include "store/FolderTree.h"
#include "store/MemoryStore.h"

#include "ConfigTestUtil.h"
#include "FakeWindow.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// One run from window creation to program end on a machine without a configuration file, in the order the
// window calls the storage, and the file that results.
TEST(FirstRunTest, FileHoldsTheKeysInTheOrderOfTheirFirstWrites)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Kestrun/Velmora for Outlook Express"));
    auto store = MemoryStore::create();
    store->addFolder(store->rootId(), QStringLiteral("Inbox"));
    const QString rootDigest = FolderKeyHash(QString::number(store->rootId()));
    QString configFile;
    {
        XmlStorage xml;
        xml.setNewDocumentEncoding(QStringLiteral("UTF-8"));
        FormStorage form(xml);
        FakeWindow window;
        form.setPlacementHost(&window);
        form.setPropertiesHost(&window);
        FolderTree folders;
        folders.setFolderManager(store.get());
        ResultsTree items;
        FieldTicks ticks;

        // Creation.
        configFile = SetUpDataFiles(folder, xml).configFileName;
        EXPECT_FALSE(xml.hasError());
        folders.FillFolderTree();
        // First show.
        form.restoreFormPlacement();
        RestoreCheckListTicks(form, ticks);
        RestoreFolderTicks(form, folders.model(), folders.model().firstNode(), QStringLiteral("FoldersVST"));
        RestoreColumnWidths(form, items.model(), QStringLiteral("ItemsVST"));
        if (!OutlookChecked(form)) {
            SetOutlookChecked(form);
        }
        // Close.
        form.saveFormPlacement();
        SaveColumnWidths(form, items.model(), QStringLiteral("ItemsVST"));
        SaveFolderTicks(form, folders.model(), QStringLiteral("FoldersVST"));
        SaveCheckListTicks(form, ticks);
        form.saveIfNotSaved();
        EXPECT_FALSE(QFileInfo::exists(configFile)) << "only the end of the program writes the file";
    }
    const QByteArray checkedFolders = "      <CheckedFolders-" + rootDigest.toLatin1() + "/>";
    EXPECT_EQ(ReadBytes(configFile),
              Lines({
                  R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)",
                  "<Configuration>",
                  "  <MainForm>",
                  "    <OutlookChecked>TRUE</OutlookChecked>",
                  "    <FormVersion>0</FormVersion>",
                  "    <ShowCmd>1</ShowCmd>",
                  "    <Flags>0</Flags>",
                  "    <PixelsPerInch>96</PixelsPerInch>",
                  "    <MinMaxPos_1920x1080_>-1,-1,-1,-1</MinMaxPos_1920x1080_>",
                  "    <MinMaxPos>-1,-1,-1,-1</MinMaxPos>",
                  "    <NormPos_1920x1080_>100,100,900,700</NormPos_1920x1080_>",
                  "    <NormPos>100,100,900,700</NormPos>",
                  "    <FoldersPanel_Width>240</FoldersPanel_Width>",
                  "    <ItemsPanel_Height>196</ItemsPanel_Height>",
                  "    <MarkAsDuplicates_ItemIndex>0</MarkAsDuplicates_ItemIndex>",
                  "    <DeleteRadio_Checked>TRUE</DeleteRadio_Checked>",
                  "    <MoveToDeletedItemsRadio_Checked>FALSE</MoveToDeletedItemsRadio_Checked>",
                  "    <ItemsVST>",
                  "      <Column0Width>184</Column0Width>",
                  "      <Column1Width>48</Column1Width>",
                  "      <Column2Width>120</Column2Width>",
                  "      <Column3Width>120</Column3Width>",
                  "      <Column4Width>48</Column4Width>",
                  "    </ItemsVST>",
                  "    <FoldersVST>",
                  checkedFolders.constData(),
                  "    </FoldersVST>",
                  "    <CLB>",
                  "      <EmailsCheckList>",
                  "        <Item0>TRUE</Item0>",
                  "        <Item1>TRUE</Item1>",
                  "        <Item2>FALSE</Item2>",
                  "        <Item3>FALSE</Item3>",
                  "        <Item4>FALSE</Item4>",
                  "      </EmailsCheckList>",
                  "    </CLB>",
                  "  </MainForm>",
                  "</Configuration>",
              }));
}

} // namespace
