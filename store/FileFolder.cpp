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

void FileFolder::SetReadAhead(ReadAheadWork work, ReadAheadWait wait)
{
    m_readAheadWork = std::move(work);
    m_readAheadWait = std::move(wait);
}

OEMessagePtr FileFolder::GetFirstMessage()
{
    m_readAhead.reset();
    m_messages.reset();
    m_messageCursor = 0;
    std::vector<MessageLocation> located = m_store->locateMessages(m_id);
    // The workers start on the files while the identifiers are given out: they read files, never identifiers.
    if (m_readAheadWork && !located.empty()) {
        m_readAhead = std::make_unique<ReadAheadPool>(std::make_shared<const std::vector<MessageLocation>>(located),
                                                      m_readAheadWork, ReadAheadPool::defaultThreads(), 64);
    }
    try {
        m_messages
            = std::make_shared<const std::vector<MessageLocation>>(m_store->registerMessages(m_id, std::move(located)));
    } catch (...) {
        m_readAhead.reset();
        throw;
    }
    return nextMessage();
}

OEMessagePtr FileFolder::GetNextMessage()
{
    return nextMessage();
}

OEMessagePtr FileFolder::nextMessage()
{
    // Messages removed through the store since the walk began are passed over.
    while (m_messages && m_messageCursor < m_messages->size()) {
        const std::size_t index = m_messageCursor++;
        const MessageLocation& location = (*m_messages)[index];
        ReadAheadPool::Item item;
        if (m_readAhead) {
            item = m_readAhead->take(index, m_readAheadWait);
        }
        if (m_store->hasMessage(location.id)) {
            auto message = std::make_shared<FileMessage>(m_store, location, std::move(item.parsed));
            message->setReadAhead(std::move(item.result));
            m_current = message;
            return message;
        }
    }
    m_readAhead.reset();
    m_current.reset();
    return nullptr;
}

OEMessagePtr FileFolder::GetMessage(OEId messageId)
{
    // The search asks for the message it has just been given, to list it: that one was read already.
    if (m_current && m_current->GetID() == messageId && m_store->hasMessage(messageId)) {
        return m_current;
    }
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
