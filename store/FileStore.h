#pragma once

#include "FolderIds.h"
#include "FolderScanner.h"
#include "MailStore.h"

#include <QHash>

#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

namespace velmora {

// Where one message file of a FileStore is, as last seen by an enumeration.
struct MessageLocation
{
    OEId id = 0;
    OEId folder = 0;
    QByteArray path;
    std::shared_ptr<const MessageDirectory> directory; // where fileName is, when the folder listing opened it
    QByteArray fileName;
    QByteArray uniquePart; // the file name without a Maildir flag suffix
    QDateTime entered;
    QDateTime modified;
};

// A mail store on a directory tree: Maildir, Maildir++, nested Maildir folders or plain trees of .eml files.
// The opened directory is the single root folder. Folder identifiers come from the directories' inodes;
// message identifiers are handed out per session, keyed on folder and Maildir unique name. The store writes
// only when asked to remove a message. It is used from one thread; readMessageFile is what workers call.
class FileStore : public MailStore, public std::enable_shared_from_this<FileStore>
{
public:
    // Throws StoreError when the directory cannot be opened or listed.
    static std::shared_ptr<FileStore> open(const QString& directory);

    QString identity() override;
    OEFolderPtr GetFolder(OEId folderId) override;
    OEFolderPtr GetFirstFolder() override;

    OEId rootId() const { return m_rootId; }
    QString rootPath() const { return m_root; }

    // Used by the folder and message handles.
    QString folderName(OEId folderId) const;
    std::vector<OEId> childIds(OEId folderId) const;
    // A folder's messages in two steps: its files in walk order, still without identifiers, and then their
    // identifiers, so that reading can start while the identifiers are given out.
    std::vector<MessageLocation> locateMessages(OEId folderId) const;
    std::vector<MessageLocation> registerMessages(OEId folderId, std::vector<MessageLocation> locations);
    int countMessages(OEId folderId) const;
    bool hasMessage(OEId messageId) const { return m_messages.count(messageId) != 0; }
    OEMessagePtr findMessage(OEId folderId, OEId messageId);
    // The message's file now, found again when another program changed its flag suffix; nothing when gone.
    std::optional<QByteArray> locate(OEId messageId);
    // Deletes (flag 1) or moves to Deleted Items (flag 0); throws StoreError when nothing was removed.
    void removeMessage(OEId messageId, int flag);

private:
    struct FolderNode
    {
        QByteArray path;
        QString name;
        OEId parent = 0;
        FolderKind kind = FolderKind::EmlDirectory;
        dev_t device = 0;
        ino_t inode = 0;
        std::vector<OEId> children;
    };
    struct MessageRecord
    {
        OEId folder = 0;
        QByteArray key;
        QByteArray uniquePart; // empty when only the exact file name identifies it
        QByteArray path;
    };

    FileStore(const QString& root, const QString& rootName);
    void rescan();
    const FolderNode& node(OEId folderId) const;
    OEFolderPtr folderHandle(OEId folderId);
    OEId messageIdFor(OEId folderId, const QByteArray& key);
    void forget(OEId messageId);
    OEId deletedItemsFolder();
    bool moveToFolder(const QByteArray& source, OEId targetFolder);

    QString m_root;
    QString m_rootName;
    FolderIds m_folderIds;
    OEId m_rootId = 0;
    std::map<OEId, FolderNode> m_folders;
    struct MessageKeyHash
    {
        std::size_t operator()(const std::pair<OEId, QByteArray>& key) const
        {
            return qHash(key.second, static_cast<std::size_t>(key.first));
        }
    };
    // Looked up once per listed message: hashed, since a folder lists tens of thousands.
    std::unordered_map<std::pair<OEId, QByteArray>, OEId, MessageKeyHash> m_messageIds;
    std::unordered_map<OEId, MessageRecord> m_messages;
    OEId m_lastMessageId = 0;
};

// Opens the mail store in `directory`; throws StoreError when it cannot be read.
MailStorePtr openFileStore(const QString& directory);

} // namespace velmora
