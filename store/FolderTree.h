#pragma once

#include "store/IOEFolderManager.h"
#include "store/IOEIdentity.h"
#include "tree/TreeModel.h"

#include <functional>
#include <vector>

namespace velmora {

// The folder tree `FoldersVST`: the folder hierarchy of the store's root folder, one row per folder with a
// tri-state tick box. Rows carry the folder's name in Subject and its identifier (decimal) in EntryID.
class FolderTree
{
public:
    using HintHandler = std::function<void(const QString& hint)>;

    // The keys that HandleFolderCheckKeys acts on.
    enum class Key { Insert, Delete, Other };

    // The footer hint shown after a tick by mouse or Space.
    static const QString InsertHint;

    FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    TreeModel& model() { return m_model; }
    const TreeModel& model() const { return m_model; }

    // The store the tree is filled from (`zOEFolderManager`); may be null (the fill then leaves it empty).
    void setFolderManager(IOEFolderManager* manager) { m_folderManager = manager; }
    void setHintHandler(HintHandler handler) { m_hint = std::move(handler); }
    // Called by the identity check between reading a new identity and the refill, to reconnect the folder
    // manager; optional.
    void setReconnectHandler(std::function<void()> handler) { m_reconnect = std::move(handler); }

    // The mail identity for which the tree was last filled (`PrevIdentity`).
    const QString& prevIdentity() const { return m_prevIdentity; }
    void setPrevIdentity(const QString& identity) { m_prevIdentity = identity; }

    // Empties the tree and fills it from the store's root folder. A root that cannot be read leaves the tree
    // empty. While busy, the refill waits until the run ends.
    void FillFolderTree();
    // Adds the subfolders of `parentFolder` below `parentRow`, recursively; a subfolder that fails is skipped
    // (or kept with what was read of it).
    void AddSubfolders(TreeNode* parentRow, IOEFolder& parentFolder);
    // The store API started: refills the tree when the identity differs from PrevIdentity (case counts).
    // A failure propagates and leaves the tree and PrevIdentity as they were.
    void zOEAPIInitInitOEAPI(IOEIdentity& identity);
    // Insert toggles the focused row alone; Delete unticks every ticked row alone. Nothing propagates.
    void HandleFolderCheckKeys(Key key);
    // After a tick through the tree's check logic: shows the Insert hint.
    void FoldersVSTChecked(TreeNode* node);

    // A search or removal run is walking the ticks; refills asked for meanwhile happen when it ends.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    bool refillPending() const { return m_refillPending; }

    // What the search takes: the rows whose own tick is full, in pre-order, evaluated as it goes.
    TreeNode* firstTickedFolder() const { return m_model.firstChecked(); }
    TreeNode* nextTickedFolder(const TreeNode* row) const { return m_model.nextChecked(row); }
    // The same as folder identifiers, at this moment; rows whose EntryID is no number are left out.
    std::vector<OEId> tickedFolderIds() const;

private:
    TreeNode* addFolderRow(TreeNode* parent, IOEFolder& folder);
    void fill(bool propagateRootFailure);

    TreeModel m_model;
    IOEFolderManager* m_folderManager = nullptr;
    HintHandler m_hint;
    std::function<void()> m_reconnect;
    QString m_prevIdentity;
    QString m_pendingIdentity;
    bool m_busy = false;
    bool m_refillPending = false;
    bool m_pendingHasIdentity = false;
};

} // namespace velmora
