#include "FileFolder.h"

#include "FileMessage.h"

namespace velmora {

FileFolder::FileFolder(std::shared_ptr<FileStore> store, OEId id)
    : m_store(std::move(store))
    , m_id(id)
{
}

OEFolderPtr FileFolder::GetFirstChild()
{
    m_children = m_store->childIds(m_id);
    m_childCursor = 0;
    return GetNextChild();
}

OEFolderPtr FileFolder::GetNextChild()
{
    if (m_childCursor >= m_children.size()) {
        return nullptr;
    }
    return std::make_shared<FileFolder>(m_store, m_children[m_childCursor++]);
}

OEMessagePtr FileFolder::GetFirstMessage()
{
    m_messages = m_store->listMessages(m_id);
    m_messageCursor = 0;
    return nextMessage();
}

OEMessagePtr FileFolder::GetNextMessage()
{
    return nextMessage();
}

OEMessagePtr FileFolder::nextMessage()
{
    // Messages removed through the store since the walk began are passed over.
    while (m_messageCursor < m_messages.size()) {
        const MessageLocation& location = m_messages[m_messageCursor++];
        if (m_store->hasMessage(location.id)) {
            return std::make_shared<FileMessage>(m_store, location);
        }
    }
    return nullptr;
}

OEMessagePtr FileFolder::GetMessage(OEId messageId)
{
    return m_store->findMessage(m_id, messageId);
}

QString FileFolder::GetName()
{
    return m_store->folderName(m_id);
}

int FileFolder::GetMessageCount()
{
    return m_store->countMessages(m_id);
}

} // namespace velmora
