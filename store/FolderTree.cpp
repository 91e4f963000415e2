#include "store/FolderTree.h"

#include "tree/VSTHandlers.h"

namespace velmora {

const QString FolderTree::InsertHint
    = QStringLiteral("Use <b>Insert</b> key to select folder without selecting its subfolders.");

FolderTree::FolderTree()
{
    m_model.setSortColumn(-1);
    m_model.setAutoSort(true);
    m_model.setOnGetText([](const TreeNode* node, int column) { return VSTGetText(node, column); });
    m_model.setOnGetImageIndex([](const TreeNode* node, int column) { return VSTGetImageIndex(node, column); });
    m_model.setOnCompareNodes(
        [](const TreeNode* a, const TreeNode* b, int column) { return VSTCompareNodes(a, b, column); });
    m_model.setOnFreeNode([](TreeNode* node) { VSTFreeNode(node); });
    m_model.setOnChecked([this](TreeNode* node) { FoldersVSTChecked(node); });
}

TreeNode* FolderTree::addFolderRow(TreeNode* parent, IOEFolder& folder)
{
    TTreeData data;
    data.DefaultItemType = 0;
    data.Subject = folder.GetName();
    data.EntryID = idToText(folder.GetID());
    TreeNode* row = m_model.appendChild(parent, std::move(data));
    m_model.initializeNode(row);
    m_model.setCheckType(row, CheckType::TriState);
    return row;
}

void FolderTree::AddSubfolders(TreeNode* parentRow, IOEFolder& parentFolder)
{
    // A failure of the walk itself (GetFirstChild, GetNextChild) reaches the caller, which keeps the rows
    // added so far.
    OEFolderPtr subfolder = parentFolder.GetFirstChild();
    while (subfolder) {
        try {
            TreeNode* row = addFolderRow(parentRow, *subfolder);
            AddSubfolders(row, *subfolder);
        } catch (...) {
            // Skipped, or kept with what was read of it; the tracker has logged the failure.
        }
        subfolder = parentFolder.GetNextChild();
    }
}

void FolderTree::FillFolderTree()
{
    if (m_busy) {
        m_refillPending = true;
        return;
    }
    fill(false);
}

void FolderTree::fill(bool propagateRootFailure)
{
    // The root is read before the tree is touched, so that a store that cannot give it leaves a choice:
    // an empty tree at start, the tree as it was for a later refill.
    OEFolderPtr root;
    QString rootName;
    OEId rootId = 0;
    try {
        root = m_folderManager ? m_folderManager->GetFirstFolder() : nullptr;
        if (root) {
            rootName = root->GetName();
            rootId = root->GetID();
        } else if (propagateRootFailure) {
            throw StoreError("The store has no root folder");
        }
    } catch (...) {
        if (propagateRootFailure) {
            throw;
        }
        root.reset();
    }

    m_model.beginUpdate();
    m_model.clear();
    if (root) {
        TTreeData data;
        data.Subject = rootName;
        data.EntryID = idToText(rootId);
        TreeNode* rootRow = m_model.appendChild(nullptr, std::move(data));
        m_model.initializeNode(rootRow);
        m_model.setCheckType(rootRow, CheckType::TriState);
        try {
            AddSubfolders(rootRow, *root);
        } catch (...) {
            // The root row keeps the subfolders read before the walk failed.
        }
        m_model.setExpanded(m_model.firstNode(), true);
    }
    m_model.endUpdate();
}

void FolderTree::zOEAPIInitInitOEAPI(IOEIdentity& identity)
{
    const QString current = identity.GetCurrentIdentity();
    if (current == m_prevIdentity) {
        return;
    }
    if (m_busy) {
        m_refillPending = true;
        m_pendingHasIdentity = true;
        m_pendingIdentity = current;
        return;
    }
    if (m_reconnect) {
        m_reconnect();
    }
    fill(true);
    m_prevIdentity = current;
}

void FolderTree::setBusy(bool busy)
{
    m_busy = busy;
    if (busy || !m_refillPending) {
        return;
    }
    m_refillPending = false;
    const bool withIdentity = m_pendingHasIdentity;
    m_pendingHasIdentity = false;
    try {
        if (withIdentity && m_reconnect) {
            m_reconnect();
        }
        fill(withIdentity);
        if (withIdentity) {
            m_prevIdentity = m_pendingIdentity;
        }
    } catch (...) {
        // The tree stays as it was and PrevIdentity unchanged, so the next start notification tries again.
    }
}

void FolderTree::HandleFolderCheckKeys(Key key)
{
    if (key == Key::Insert) {
        TreeNode* row = m_model.focusedNode();
        if (row) {
            m_model.setCheckStateDirect(
                row, row->checkState() == CheckState::Unchecked ? CheckState::Checked : CheckState::Unchecked);
        }
    } else if (key == Key::Delete) {
        for (TreeNode* row = m_model.firstChecked(); row; row = m_model.nextChecked(row)) {
            m_model.setCheckStateDirect(row, CheckState::Unchecked);
        }
    }
}

void FolderTree::FoldersVSTChecked(TreeNode* node)
{
    Q_UNUSED(node);
    if (m_hint) {
        m_hint(InsertHint);
    }
}

std::vector<OEId> FolderTree::tickedFolderIds() const
{
    std::vector<OEId> ids;
    for (const TreeNode* row = m_model.firstChecked(); row; row = m_model.nextChecked(row)) {
        if (const auto id = idFromText(row->data().EntryID)) {
            ids.push_back(*id);
        }
    }
    return ids;
}

} // namespace velmora
