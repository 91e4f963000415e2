#pragma once

#include "detection/FieldTicks.h"
#include "detection/KeyIndex.h"
#include "detection/ResultsTree.h"
#include "detection/RunHost.h"
#include "store/FolderTree.h"

namespace velmora {

// The search run and the removal run: "Search" groups equal messages of each ticked folder into the results
// tree, "Remove" removes the messages of its ticked rows. Both run on the thread that owns the trees and let
// the host process pending input once per message or row, so Cancel and the rest of the window keep working.
class DuplicateRuns
{
public:
    static const QString SearchHint;
    static const QString SettingsHint;
    static const QString ConfirmRemovalText;

    DuplicateRuns(RunHost& host, IOEFolderManager& store, ResultsTree& results, FolderTree& folders, FieldTicks& ticks,
                  const KeyCollator& collator);

    void SearchButtonClick();
    void RemoveButtonClick();
    // Stops a run before its next message or row.
    void CancelButtonClick() { Cancel = true; }

    // DeleteRadio (true, the default) or MoveToDeletedItemsRadio (false).
    void setDeleteForGood(bool deleteForGood) { m_deleteForGood = deleteForGood; }
    bool deleteForGood() const { return m_deleteForGood; }
    bool isBusy() const { return m_busy; }

    // Enters `key` for the message `id` of `folder`, or adds the message to the group of the original whose
    // key is equal. Throws when the store fails; rows added before the failure stay.
    void AddSearchString(const QString& key, OEId id, IOEFolder& folder);
    void AddSearchString(const KeyDigest& key, OEId id, IOEFolder& folder);

    bool Cancel = false;

private:
    class BusyScope;

    void searchFolder(const TreeNode& folderRow);
    KeyDigest keyOf(IOEMessage& message);
    TTreeData itemRow(IOEMessage& message, const QString& folderName, const QString& folderId) const;
    void removeRow(TreeNode* row);

    RunHost& m_host;
    IOEFolderManager& m_store;
    ResultsTree& m_results;
    FolderTree& m_folders;
    FieldTicks& m_ticks;
    const KeyCollator& m_collator;
    KeyDigestMaker m_digests;
    // The keys of the folder being searched (`SearchStrings` with `EntryIDs`).
    KeyIndex m_index;
    bool m_deleteForGood = true;
    bool m_busy = false;
    int m_progress = 0;
};

} // namespace velmora
