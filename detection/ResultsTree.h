#pragma once

#include "store/IOEFolderManager.h"
#include "tree/TreeModel.h"

#include <QHash>
#include <QLocale>

#include <functional>
#include <vector>

namespace velmora {

// The results tree `ItemsVST`: one group row per original that has duplicates and, below it, an item row for
// the original and for each duplicate. Owns the marking rule, the column sort and the preview of the focused
// item. Group rows have no tick box; item rows have a two-state one.
class ResultsTree
{
public:
    // Receives the preview: the HTML text to show and the message it came from (null for the empty page),
    // whose inline parts the view may ask for.
    using PreviewHandler = std::function<void(const QString& html, const OEMessagePtr& message)>;

    // Column indices.
    enum Column {
        SubjectColumn = 0,
        FolderColumn = 1,
        CreationTimeColumn = 2,
        ModificationTimeColumn = 3,
        SizeColumn = 4
    };

    // The indices of `MarkAsDuplicates`.
    enum MarkRule { OldestItems = 0, SmallestItems = 1, NewestItems = 2, LargestItems = 3 };

    // The text loaded for a group row or when nothing is focused.
    static const QString EmptyPreview;

    ResultsTree();
    ~ResultsTree();
    ResultsTree(const ResultsTree&) = delete;
    ResultsTree& operator=(const ResultsTree&) = delete;

    TreeModel& model() { return m_model; }
    const TreeModel& model() const { return m_model; }

    // Title, initial width and whether hidden, in column index order.
    static std::vector<TreeColumn> columnDefinitions();

    // The index of `MarkAsDuplicates` that initialising a row applies (0 at start).
    void setMarkAsDuplicates(int index) { m_markRule = index; }
    int markAsDuplicates() const { return m_markRule; }

    // What the preview reads from; may be null (the preview then keeps what it showed).
    void setFolderManager(IOEFolderManager* manager) { m_folderManager = manager; }
    void setPreviewHandler(PreviewHandler handler) { m_preview = std::move(handler); }
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // Event handlers (wired to the model by the constructor; callable directly).
    QString VSTGetText(const TreeNode* node, int column) const;
    int VSTGetImageIndex(const TreeNode* node, int column) const;
    int VSTCompareNodes(const TreeNode* a, const TreeNode* b, int column) const;
    void VSTFreeNode(TreeNode* node);
    // Gives an item row its tick box and applies the marking rule against its earlier siblings.
    void ItemsVSTInitNode(TreeNode* node);
    // Sorts by `column` in the header's direction, then flips the direction.
    void ItemsVSTHeaderClick(int column);
    void ItemsVSTFocusChanged(TreeNode* node);

    // What the search and removal runs use.
    void clear();
    // A group row at the top level for the original found in folder `folderId` (decimal), so that
    // findGroupRow can match it by folder as well.
    TreeNode* appendGroupRow(const TTreeData& data, const QString& folderId);
    // An item row as the last child of `group`.
    TreeNode* appendItemRow(TreeNode* group, const TTreeData& data);
    void initializeRow(TreeNode* row) { m_model.initializeNode(row); }
    void beginUpdate() { m_model.beginUpdate(); }
    void endUpdate() { m_model.endUpdate(); }
    void expandAll() { m_model.expandAll(); }
    int checkedCount() const { return m_model.checkedCount(); }
    int rootCount() const { return m_model.rootCount(); }
    // The first group row, in present order, whose EntryID equals `originEntryId` and that was added for the
    // folder `folderId`; null when there is none.
    TreeNode* findGroupRow(const QString& originEntryId, const QString& folderId) const;
    // Ticked rows in tree order (a group's rows in their present order, groups in their present order).
    TreeNode* firstChecked() const { return m_model.firstChecked(); }
    TreeNode* nextChecked(const TreeNode* row) const { return m_model.nextChecked(row); }
    void deleteRow(TreeNode* row) { m_model.deleteNode(row); }

private:
    static QString groupKey(const QString& entryId, const QString& folderId);
    bool isMarkedOver(const TreeNode* p, const TreeNode* q) const;

    TreeModel m_model;
    QLocale m_locale;
    IOEFolderManager* m_folderManager = nullptr;
    PreviewHandler m_preview;
    int m_markRule = OldestItems;
    QMultiHash<QString, TreeNode*> m_groups; // EntryID and folder id -> group rows
    QHash<const TreeNode*, QString> m_groupKeys;
};

} // namespace velmora
