#include "detection/ResultsTree.h"

#include "tree/VSTHandlers.h"

namespace velmora {

const QString ResultsTree::EmptyPreview = QStringLiteral("&nbsp");

ResultsTree::ResultsTree()
{
    m_model.setColumns(columnDefinitions());
    m_model.setSortColumn(-1);
    m_model.setSortDirection(SortDirection::Ascending);
    m_model.setAutoSort(true);
    m_model.setOnGetText([this](const TreeNode* node, int column) { return VSTGetText(node, column); });
    m_model.setOnGetImageIndex([this](const TreeNode* node, int column) { return VSTGetImageIndex(node, column); });
    m_model.setOnCompareNodes(
        [this](const TreeNode* a, const TreeNode* b, int column) { return VSTCompareNodes(a, b, column); });
    m_model.setOnSortPrefix([](const TreeNode* node, int column) { return velmora::VSTSortPrefix(node, column); });
    m_model.setOnFreeNode([this](TreeNode* node) { VSTFreeNode(node); });
    m_model.setOnInitNode([this](TreeNode* node) { ItemsVSTInitNode(node); });
    m_model.setOnFocusChanged([this](TreeNode* node) { ItemsVSTFocusChanged(node); });
}

ResultsTree::~ResultsTree()
{
    // The rows go while the group index still exists; nobody is shown a preview any more.
    m_model.setOnFocusChanged(nullptr);
    m_model.clear();
}

std::vector<TreeColumn> ResultsTree::columnDefinitions()
{
    return {
        { QStringLiteral("Subject"), 184, false },      { QStringLiteral("Folder"), 48, false },
        { QStringLiteral("Creation Time"), 120, true }, { QStringLiteral("Last Modification Time"), 120, true },
        { QStringLiteral("Size"), 48, false },
    };
}

QString ResultsTree::VSTGetText(const TreeNode* node, int column) const
{
    return velmora::VSTGetText(node, column, m_locale);
}

int ResultsTree::VSTGetImageIndex(const TreeNode* node, int column) const
{
    return velmora::VSTGetImageIndex(node, column);
}

int ResultsTree::VSTCompareNodes(const TreeNode* a, const TreeNode* b, int column) const
{
    return velmora::VSTCompareNodes(a, b, column);
}

void ResultsTree::VSTFreeNode(TreeNode* node)
{
    const auto it = m_groupKeys.constFind(node);
    if (it != m_groupKeys.constEnd()) {
        m_groups.remove(it.value(), node);
        m_groupKeys.erase(it);
    }
    velmora::VSTFreeNode(node);
}

bool ResultsTree::isMarkedOver(const TreeNode* p, const TreeNode* q) const
{
    // True when q is the duplicate of the pair; false ticks p, so equal values tick the later-added row.
    const TTreeData& pd = p->data();
    const TTreeData& qd = q->data();
    switch (m_markRule) {
    case OldestItems:
        return CompareDateTimes(pd.CreationTime, qd.CreationTime) == 1;
    case SmallestItems:
        return CompareIntegers(pd.Size, qd.Size) == 1;
    case NewestItems:
        return CompareDateTimes(qd.CreationTime, pd.CreationTime) == 1;
    default:
        return CompareIntegers(qd.Size, pd.Size) == 1;
    }
}

void ResultsTree::ItemsVSTInitNode(TreeNode* node)
{
    if (node->level() != 1) {
        return;
    }
    m_model.setCheckType(node, CheckType::CheckBox);
    const TreeNode* group = node->parent();
    // The row was just appended, so its earlier siblings are the rest of its group: each pair is compared
    // once, when the later of the two is initialised.
    for (int row = node->index() - 1; row >= 0; --row) {
        TreeNode* earlier = group->child(row);
        m_model.setCheckStateDirect(isMarkedOver(node, earlier) ? earlier : node, CheckState::Checked);
    }
}

void ResultsTree::ItemsVSTHeaderClick(int column)
{
    const SortDirection direction = m_model.sortDirection();
    m_model.sortTree(column, direction);
    // One direction serves every column: the next click sorts the other way, whichever column it hits.
    m_model.setSortDirection(direction == SortDirection::Ascending ? SortDirection::Descending
                                                                   : SortDirection::Ascending);
}

void ResultsTree::ItemsVSTFocusChanged(TreeNode* node)
{
    if (!m_preview) {
        return;
    }
    if (!node || node->level() < 1) {
        m_preview(EmptyPreview, nullptr);
        return;
    }
    const auto folderId = idFromText(node->data().StoreID);
    const auto messageId = idFromText(node->data().EntryID);
    if (!m_folderManager || !folderId || !messageId) {
        return;
    }
    OEMessagePtr message;
    QString html;
    try {
        const OEFolderPtr folder = m_folderManager->GetFolder(*folderId);
        if (!folder) {
            return;
        }
        message = folder->GetMessage(*messageId);
        if (!message) {
            return;
        }
        html = message->GetHTMLBody();
    } catch (...) {
        // The preview keeps what it showed; the tracker has logged the failure.
        return;
    }
    m_preview(html, message);
}

void ResultsTree::clear()
{
    m_model.clear();
    m_groups.clear();
    m_groupKeys.clear();
}

QString ResultsTree::groupKey(const QString& entryId, const QString& folderId)
{
    return entryId + QLatin1Char('/') + folderId;
}

TreeNode* ResultsTree::appendGroupRow(const TTreeData& data, const QString& folderId)
{
    TreeNode* group = m_model.appendChild(nullptr, data);
    const QString key = groupKey(data.EntryID, folderId);
    m_groups.insert(key, group);
    m_groupKeys.insert(group, key);
    return group;
}

TreeNode* ResultsTree::appendItemRow(TreeNode* group, const TTreeData& data)
{
    return m_model.appendChild(group, data);
}

TreeNode* ResultsTree::findGroupRow(const QString& originEntryId, const QString& folderId) const
{
    const auto [begin, end] = m_groups.equal_range(groupKey(originEntryId, folderId));
    if (begin == end) {
        return nullptr;
    }
    if (std::next(begin) == end) {
        return begin.value(); // the usual case: no need for the row's position
    }
    TreeNode* first = nullptr;
    int firstRow = 0;
    for (auto it = begin; it != end; ++it) {
        const int row = it.value()->index();
        if (!first || row < firstRow) {
            first = it.value();
            firstRow = row;
        }
    }
    return first;
}

} // namespace velmora
