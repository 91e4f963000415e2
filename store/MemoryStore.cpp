#include "MemoryStore.h"

namespace velmora {
namespace {

    const QDateTime kFirstCreation(QDate(2020, 1, 1), QTime(9, 0), Qt::UTC);

    class MemoryFolderHandle : public IOEFolder
    {
    public:
        MemoryFolderHandle(std::shared_ptr<MemoryStore> store, OEId id)
            : m_store(std::move(store))
            , m_id(id)
        {
        }

        OEId GetID() override
        {
            if (auto f = m_store->failure(StoreOp::FolderGetID, m_id)) {
                return 0;
            }
            return m_id;
        }

        OEFolderPtr GetFirstChild() override
        {
            if (m_store->failure(StoreOp::GetFirstChild, m_id)) {
                return nullptr;
            }
            m_children = m_store->childIds(m_id);
            m_childCursor = 0;
            return nextChild();
        }

        OEFolderPtr GetNextChild() override
        {
            if (m_store->failure(StoreOp::GetNextChild, m_id)) {
                return nullptr;
            }
            return nextChild();
        }

        OEMessagePtr GetFirstMessage() override
        {
            if (m_store->failure(StoreOp::GetFirstMessage, m_id)) {
                return nullptr;
            }
            m_messages = m_store->messageIds(m_id);
            m_messageCursor = 0;
            return nextMessage();
        }

        OEMessagePtr GetNextMessage() override
        {
            if (m_store->failure(StoreOp::GetNextMessage, m_id)) {
                return nullptr;
            }
            return nextMessage();
        }

        OEMessagePtr GetMessage(OEId messageId) override
        {
            if (m_store->failure(StoreOp::GetMessage, m_id) || m_store->failure(StoreOp::GetMessage, messageId)) {
                return nullptr;
            }
            if (m_store->folderOf(messageId) != m_id) {
                return nullptr;
            }
            return m_store->messageHandle(messageId);
        }

        QString GetName() override
        {
            if (m_store->failure(StoreOp::GetName, m_id)) {
                return {};
            }
            return m_store->folderName(m_id);
        }

        int GetMessageCount() override
        {
            if (m_store->failure(StoreOp::GetMessageCount, m_id)) {
                return 0;
            }
            return static_cast<int>(m_store->messageIds(m_id).size());
        }

    private:
        OEFolderPtr nextChild()
        {
            while (m_childCursor < m_children.size()) {
                if (auto folder = m_store->folderHandle(m_children[m_childCursor++])) {
                    return folder;
                }
            }
            return nullptr;
        }

        OEMessagePtr nextMessage()
        {
            // Messages removed since the walk began are passed over.
            while (m_messageCursor < m_messages.size()) {
                const OEId id = m_messages[m_messageCursor++];
                if (m_store->hasMessage(id)) {
                    return m_store->messageHandle(id);
                }
            }
            return nullptr;
        }

        std::shared_ptr<MemoryStore> m_store;
        OEId m_id;
        std::vector<OEId> m_children;
        std::size_t m_childCursor = 0;
        std::vector<OEId> m_messages;
        std::size_t m_messageCursor = 0;
    };

    class MemoryMessageHandle : public IOEMessage
    {
    public:
        MemoryMessageHandle(std::shared_ptr<MemoryStore> store, OEId id)
            : m_store(std::move(store))
            , m_id(id)
        {
        }

        OEId GetID() override
        {
            return fetch<OEId>(StoreOp::MessageGetID, [this](const MemoryMessage&) { return m_id; });
        }
        QString GetSubject() override { return text(StoreOp::GetSubject, &MemoryMessage::subject); }
        QString GetDisplayTo() override { return text(StoreOp::GetDisplayTo, &MemoryMessage::displayTo); }
        QString GetDisplayFrom() override { return text(StoreOp::GetDisplayFrom, &MemoryMessage::displayFrom); }
        QString GetHTMLBody() override { return text(StoreOp::GetHTMLBody, &MemoryMessage::htmlBody); }

        std::int32_t GetSize() override
        {
            return fetch<std::int32_t>(StoreOp::GetSize, [](const MemoryMessage& m) {
                if (m.size) {
                    return *m.size;
                }
                return static_cast<std::int32_t>(m.subject.toUtf8().size() + m.body.toUtf8().size());
            });
        }

        QString GetBody(int limit) override
        {
            return fetch<QString>(StoreOp::GetBody, [limit](const MemoryMessage& m) { return m.body.left(limit); });
        }

        void Delete(int flag) override { m_store->deleteMessage(m_id, flag); }

        QDateTime GetCreationTime() override
        {
            return fetch<QDateTime>(StoreOp::GetCreationTime, [](const MemoryMessage& m) { return m.created; });
        }

        QDateTime GetLastModificationTime() override
        {
            return fetch<QDateTime>(StoreOp::GetLastModificationTime,
                                    [](const MemoryMessage& m) { return m.modified; });
        }

    private:
        template <typename T, typename F> T fetch(StoreOp op, F&& get)
        {
            if (auto how = m_store->failure(op, m_id)) {
                return T {};
            }
            if (!m_store->hasMessage(m_id)) {
                throw StoreError("The message no longer exists");
            }
            return get(m_store->message(m_id));
        }

        QString text(StoreOp op, QString MemoryMessage::*field)
        {
            return fetch<QString>(op, [field](const MemoryMessage& m) { return m.*field; });
        }

        std::shared_ptr<MemoryStore> m_store;
        OEId m_id;
    };

} // namespace

std::shared_ptr<MemoryStore> MemoryStore::create(const QString& rootName, const QString& identity)
{
    return std::shared_ptr<MemoryStore>(new MemoryStore(rootName, identity));
}

MemoryStore::MemoryStore(const QString& rootName, const QString& identity)
    : m_identity(identity)
{
    m_rootId = m_nextFolderId++;
    m_folders[m_rootId].name = rootName;
}

OEId MemoryStore::addFolder(OEId parentId, const QString& name)
{
    const OEId id = m_nextFolderId++;
    m_folders.at(parentId).children.push_back(id);
    FolderNode& node = m_folders[id];
    node.name = name;
    node.parent = parentId;
    return id;
}

OEId MemoryStore::addMessage(OEId folderId, MemoryMessage message)
{
    const OEId id = m_nextMessageId++;
    if (!message.created.isValid()) {
        message.created = kFirstCreation.addSecs(60LL * (id - 1000));
    }
    if (!message.modified.isValid()) {
        message.modified = message.created;
    }
    m_folders.at(folderId).messages.push_back(id);
    m_messages[id] = MessageNode { folderId, std::move(message) };
    return id;
}

void MemoryStore::renameFolder(OEId folderId, const QString& name)
{
    m_folders.at(folderId).name = name;
}

void MemoryStore::failOn(StoreOp op, OEId target, Failure how)
{
    m_failures[{ op, target }] = how;
}

std::optional<Failure> MemoryStore::failure(StoreOp op, OEId target) const
{
    for (const OEId key : { target, OEId { 0 } }) {
        const auto it = m_failures.find({ op, key });
        if (it != m_failures.end()) {
            if (it->second == Failure::Throw) {
                throw StoreError("Store operation failed on demand");
            }
            return it->second;
        }
    }
    return std::nullopt;
}

std::vector<OEId> MemoryStore::messageIds(OEId folderId) const
{
    return folderNode(folderId).messages;
}

std::vector<OEId> MemoryStore::childIds(OEId folderId) const
{
    return folderNode(folderId).children;
}

std::optional<OEId> MemoryStore::folderOf(OEId messageId) const
{
    const auto it = m_messages.find(messageId);
    if (it == m_messages.end()) {
        return std::nullopt;
    }
    return it->second.folder;
}

std::optional<OEId> MemoryStore::findFolder(const QString& name) const
{
    for (const auto& [id, node] : m_folders) {
        if (node.name == name) {
            return id;
        }
    }
    return std::nullopt;
}

const MemoryMessage& MemoryStore::message(OEId messageId) const
{
    return m_messages.at(messageId).fields;
}

QString MemoryStore::identity()
{
    failure(StoreOp::Identity, 0);
    return m_identity;
}

OEFolderPtr MemoryStore::GetFolder(OEId folderId)
{
    if (failure(StoreOp::GetFolder, folderId)) {
        return nullptr;
    }
    return folderHandle(folderId);
}

OEFolderPtr MemoryStore::GetFirstFolder()
{
    if (failure(StoreOp::GetFirstFolder, 0)) {
        return nullptr;
    }
    return folderHandle(m_rootId);
}

OEFolderPtr MemoryStore::folderHandle(OEId folderId)
{
    if (m_folders.count(folderId) == 0) {
        return nullptr;
    }
    return std::make_shared<MemoryFolderHandle>(shared_from_this(), folderId);
}

OEMessagePtr MemoryStore::messageHandle(OEId messageId)
{
    return std::make_shared<MemoryMessageHandle>(shared_from_this(), messageId);
}

void MemoryStore::deleteMessage(OEId messageId, int flag)
{
    m_deleteCalls.push_back({ messageId, flag, false });
    failure(StoreOp::Delete, messageId);
    const auto it = m_messages.find(messageId);
    if (it == m_messages.end()) {
        throw StoreError("The message no longer exists");
    }
    auto& from = m_folders.at(it->second.folder).messages;
    from.erase(std::find(from.begin(), from.end(), messageId));
    if (flag == 0) {
        std::optional<OEId> trash;
        for (const OEId child : m_folders.at(m_rootId).children) {
            if (m_folders.at(child).name == QLatin1String("Deleted Items")) {
                trash = child;
            }
        }
        if (!trash) {
            trash = addFolder(m_rootId, QStringLiteral("Deleted Items"));
        }
        m_folders.at(*trash).messages.push_back(messageId);
        it->second.folder = *trash;
    } else {
        m_messages.erase(it);
    }
    m_deleteCalls.back().succeeded = true;
}

QString MemoryStore::folderName(OEId folderId) const
{
    return folderNode(folderId).name;
}

const MemoryStore::FolderNode& MemoryStore::folderNode(OEId folderId) const
{
    const auto it = m_folders.find(folderId);
    if (it == m_folders.end()) {
        throw StoreError("No such folder");
    }
    return it->second;
}

} // namespace velmora
