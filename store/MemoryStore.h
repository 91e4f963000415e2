#pragma once

#include "MailStore.h"

#include <QDateTime>

#include <map>
#include <set>
#include <vector>

namespace velmora {

// The fields of one message of a MemoryStore. A size left unset is the UTF-8 length of subject and body.
struct MemoryMessage
{
    QString subject;
    QString body;
    QString displayTo;
    QString displayFrom;
    QString htmlBody;
    std::optional<std::int32_t> size;
    QDateTime created; // unset: the order of adding, one minute apart
    QDateTime modified;
};

// Store operations that a MemoryStore can be told to fail.
enum class StoreOp {
    GetFolder,
    GetFirstFolder,
    FolderGetID,
    GetFirstChild,
    GetNextChild,
    GetFirstMessage,
    GetNextMessage,
    GetMessage,
    GetName,
    GetMessageCount,
    MessageGetID,
    GetSubject,
    GetDisplayTo,
    GetDisplayFrom,
    GetHTMLBody,
    GetSize,
    GetBody,
    Delete,
    GetCreationTime,
    GetLastModificationTime,
    Identity,
};

enum class Failure {
    Throw, // the operation throws StoreError
    Nothing, // the operation delivers nothing: an empty text, 0 or a null object
};

// A store held in memory for tests: folders, subfolders and messages built by calls, operations that fail on
// demand, and a record of every Delete call.
class MemoryStore : public MailStore, public std::enable_shared_from_this<MemoryStore>
{
public:
    struct DeleteCall
    {
        OEId messageId;
        int flag;
        bool succeeded;
    };

    static std::shared_ptr<MemoryStore> create(const QString& rootName = QStringLiteral("Local Folders"),
                                               const QString& identity = QStringLiteral("memory:/store"));

    OEId rootId() const { return m_rootId; }
    OEId addFolder(OEId parentId, const QString& name);
    OEId addMessage(OEId folderId, MemoryMessage message);
    void renameFolder(OEId folderId, const QString& name);
    void setIdentity(const QString& identity) { m_identity = identity; }

    // `target` is the folder or message the operation is called on; 0 fails it everywhere.
    void failOn(StoreOp op, OEId target = 0, Failure how = Failure::Throw);
    void clearFailures() { m_failures.clear(); }

    const std::vector<DeleteCall>& deleteCalls() const { return m_deleteCalls; }
    std::vector<OEId> messageIds(OEId folderId) const;
    std::vector<OEId> childIds(OEId folderId) const;
    bool hasMessage(OEId messageId) const { return m_messages.count(messageId) != 0; }
    std::optional<OEId> folderOf(OEId messageId) const;
    std::optional<OEId> findFolder(const QString& name) const;
    const MemoryMessage& message(OEId messageId) const;

    QString identity() override;
    OEFolderPtr GetFolder(OEId folderId) override;
    OEFolderPtr GetFirstFolder() override;

    // Used by the folder and message handles.
    std::optional<Failure> failure(StoreOp op, OEId target) const;
    OEFolderPtr folderHandle(OEId folderId);
    OEMessagePtr messageHandle(OEId messageId);
    void deleteMessage(OEId messageId, int flag);
    QString folderName(OEId folderId) const;

private:
    MemoryStore(const QString& rootName, const QString& identity);

    struct FolderNode
    {
        QString name;
        OEId parent = 0;
        std::vector<OEId> children;
        std::vector<OEId> messages;
    };
    struct MessageNode
    {
        OEId folder = 0;
        MemoryMessage fields;
    };

    const FolderNode& folderNode(OEId folderId) const;

    QString m_identity;
    OEId m_rootId = 0;
    OEId m_nextFolderId = 101;
    OEId m_nextMessageId = 1001;
    std::map<OEId, FolderNode> m_folders;
    std::map<OEId, MessageNode> m_messages;
    std::map<std::pair<StoreOp, OEId>, Failure> m_failures;
    std::vector<DeleteCall> m_deleteCalls;
};

} // namespace velmora
