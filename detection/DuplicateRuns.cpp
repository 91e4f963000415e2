#include "DuplicateRuns.h"

#include "detection/KeyReadAhead.h"
#include "detection/SearchString.h"

namespace velmora {

const QString DuplicateRuns::SearchHint = QStringLiteral(
    "Search can be canceled by clicking \"Cancel button\".<br>Already found duplicates will remain on \"Found "
    "Duplicates\" list and can be removed. The remaining search can be restarted later.");
const QString DuplicateRuns::SettingsHint
    = QStringLiteral("Change search settings in \"Search Settings\" to fewer fields to find more duplicates. If false "
                     "duplicates are found, add more fields.");
const QString DuplicateRuns::ConfirmRemovalText
    = QStringLiteral("Are you sure you want to remove selected duplicates?");

// Puts the window into its busy state for a run and back into its idle state however the run ends.
class DuplicateRuns::BusyScope
{
public:
    explicit BusyScope(DuplicateRuns& runs)
        : m_runs(runs)
    {
        m_runs.m_host.setRunCommandsEnabled(false);
        m_runs.m_host.setStatusPanelWidth(0, 400);
        m_runs.m_host.setProgressVisible(true);
        m_runs.m_busy = true;
        // A folder tree refill asked for during the run waits, so the run never holds a removed row.
        m_runs.m_folders.setBusy(true);
    }
    ~BusyScope()
    {
        m_runs.m_busy = false;
        m_runs.m_host.setRunCommandsEnabled(true);
        m_runs.m_host.setStatusPanelWidth(0, 0);
        m_runs.m_host.setProgressVisible(false);
        try {
            m_runs.m_folders.setBusy(false);
        } catch (...) {
            // A deferred refill that fails leaves the tree as it was; the failure is logged when raised.
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DuplicateRuns& m_runs;
};

DuplicateRuns::DuplicateRuns(RunHost& host, IOEFolderManager& store, ResultsTree& results, FolderTree& folders,
                             FieldTicks& ticks, const KeyCollator& collator)
    : m_host(host)
    , m_store(store)
    , m_results(results)
    , m_folders(folders)
    , m_ticks(ticks)
    , m_collator(collator)
    , m_digests(collator)
{
}

void DuplicateRuns::SearchButtonClick()
{
    if (m_busy) {
        return;
    }
    BusyScope busy(*this);
    struct Closing
    {
        DuplicateRuns& runs;
        ~Closing()
        {
            runs.m_host.setStatusText(1,
                                      QStringLiteral("%1 duplicates and %2 original items found.")
                                          .arg(runs.m_results.checkedCount())
                                          .arg(runs.m_results.rootCount()));
            runs.m_host.setHint(SettingsHint);
        }
    } closing { *this };

    m_host.setHint(SearchHint);
    m_host.showPage(0);
    m_results.clear();
    m_index.clear();
    Cancel = false;
    // Rows are taken one at a time, so ticks changed during the run count for the folders not yet reached.
    for (const TreeNode* row = m_folders.firstTickedFolder(); row != nullptr && !Cancel;
         row = m_folders.nextTickedFolder(row)) {
        try {
            searchFolder(*row);
        } catch (...) {
            // The rest of this folder is abandoned; the failure was logged when raised.
        }
        m_results.expandAll();
    }
}

void DuplicateRuns::searchFolder(const TreeNode& folderRow)
{
    const auto folderId = idFromText(folderRow.data().EntryID);
    if (!folderId) {
        throw StoreError("The folder row carries no folder identifier");
    }
    const OEFolderPtr folder = m_store.GetFolder(*folderId);
    if (!folder) {
        throw StoreError("The folder no longer exists");
    }
    const int count = folder->GetMessageCount();
    m_progress = 0;
    m_host.setProgressPosition(0);
    m_host.setProgressRange(count + 1);
    m_host.setStatusText(1, QStringLiteral("Searching for duplicates in ") + folder->GetName());
    m_index.clear();
    // Workers read and parse the messages and build their keys ahead of this loop; the loop still takes the
    // messages one by one, in order, with Cancel and input handled between them.
    folder->SetReadAhead(KeyReadAhead::work(m_collator, m_ticks.values()), [this] { m_host.processPendingEvents(); });

    for (OEMessagePtr message = folder->GetFirstMessage(); message; message = folder->GetNextMessage()) {
        m_host.processPendingEvents();
        if (Cancel) {
            break;
        }
        try {
            const OEId id = message->GetID();
            AddSearchString(keyOf(*message), id, *folder);
            m_host.setProgressPosition(++m_progress);
        } catch (...) {
            // An unreadable message is skipped, never grouped; the failure was logged when raised.
        }
    }
}

KeyDigest DuplicateRuns::keyOf(IOEMessage& message)
{
    // The ticks are read now: a change during the run applies to the messages from here on, and a key built
    // ahead with other ticks is built again.
    const auto ahead = std::dynamic_pointer_cast<const KeyReadAhead>(message.GetReadAhead());
    if (ahead && ahead->ticks == m_ticks.values()) {
        return ahead->digest;
    }
    return m_digests.digest(BuildKey(message, m_ticks));
}

void DuplicateRuns::AddSearchString(const QString& key, OEId id, IOEFolder& folder)
{
    AddSearchString(m_digests.digest(key), id, folder);
}

void DuplicateRuns::AddSearchString(const KeyDigest& key, OEId id, IOEFolder& folder)
{
    const std::optional<OEId> origin = m_index.addOrFind(key, id);
    if (!origin) {
        return;
    }
    const QString originText = idToText(*origin);
    const QString folderName = folder.GetName();
    const QString folderId = idToText(folder.GetID());
    // Matching the folder identifier as well as the name keeps two folders of the same name (two "Inbox"
    // folders) from sharing a group, where the marking rule could tick every copy of a message.
    TreeNode* group = m_results.findGroupRow(originText, folderId);
    if (group != nullptr && group->data().Folder != folderName) {
        group = nullptr;
    }

    m_results.beginUpdate();
    struct EndUpdate
    {
        ResultsTree& results;
        ~EndUpdate() { results.endUpdate(); }
    } endUpdate { m_results };

    if (group == nullptr) {
        const OEMessagePtr original = folder.GetMessage(*origin);
        if (!original) {
            throw StoreError("The original message no longer exists");
        }
        TTreeData groupData;
        groupData.Subject = original->GetSubject();
        groupData.Folder = folderName;
        groupData.EntryID = idToText(original->GetID());
        const TTreeData originalRow = itemRow(*original, folderName, folderId);
        group = m_results.appendGroupRow(groupData, folderId);
        m_results.initializeRow(group);
        m_results.initializeRow(m_results.appendItemRow(group, originalRow));
    }
    const OEMessagePtr current = folder.GetMessage(id);
    if (!current) {
        throw StoreError("The message no longer exists");
    }
    m_results.initializeRow(m_results.appendItemRow(group, itemRow(*current, folderName, folderId)));
}

TTreeData DuplicateRuns::itemRow(IOEMessage& message, const QString& folderName, const QString& folderId) const
{
    TTreeData data;
    data.Subject = message.GetSubject();
    data.Folder = folderName;
    data.Size = message.GetSize();
    data.EntryID = idToText(message.GetID());
    data.StoreID = folderId;
    data.CreationTime = message.GetCreationTime();
    data.LastModificationTime = message.GetLastModificationTime();
    return data;
}

void DuplicateRuns::RemoveButtonClick()
{
    if (m_busy || !m_host.confirm(ConfirmRemovalText)) {
        return;
    }
    BusyScope busy(*this);
    m_host.showPage(0);
    Cancel = false;
    m_progress = 0;
    const int total = m_results.checkedCount();
    m_host.setProgressPosition(0);
    m_host.setProgressRange(total);

    TreeNode* row = m_results.firstChecked();
    while (row != nullptr && !Cancel) {
        m_host.processPendingEvents();
        TreeNode* next = m_results.nextChecked(row);
        // The user may have unticked the row while input was processed: only ticked rows are removed.
        if (row->checkState() == CheckState::Checked) {
            try {
                removeRow(row);
                m_host.setProgressPosition(++m_progress);
                m_host.setStatusText(
                    1, QStringLiteral("%1 duplicates out of %2 were removed successfully").arg(m_progress).arg(total));
            } catch (...) {
                // The row stays ticked and is not counted; the failure was logged when raised.
            }
        }
        row = next;
    }
}

void DuplicateRuns::removeRow(TreeNode* row)
{
    const auto folderId = idFromText(row->data().StoreID);
    const auto messageId = idFromText(row->data().EntryID);
    if (!folderId || !messageId) {
        throw StoreError("The row carries no message identifier");
    }
    const OEFolderPtr folder = m_store.GetFolder(*folderId);
    if (!folder) {
        throw StoreError("The folder no longer exists");
    }
    const OEMessagePtr message = folder->GetMessage(*messageId);
    if (!message) {
        throw StoreError("The message no longer exists");
    }
    // Throws when the message was not removed, so that a refusal is never counted as a removal.
    message->Delete(m_deleteForGood ? 1 : 0);
    m_results.deleteRow(row);
}

} // namespace velmora
