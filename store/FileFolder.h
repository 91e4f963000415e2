#pragma once

#include "FileStore.h"
#include "IOEFolder.h"
#include "ReadAheadPool.h"

namespace velmora {

class FileMessage;

// A folder of a FileStore. The walks run over what the folder held when they began.
class FileFolder : public IOEFolder
{
public:
    FileFolder(std::shared_ptr<FileStore> store, OEId id);

    OEId GetID() override { return m_id; }
    OEFolderPtr GetFirstChild() override;
    OEFolderPtr GetNextChild() override;
    OEMessagePtr GetFirstMessage() override;
    OEMessagePtr GetNextMessage() override;
    OEMessagePtr GetMessage(OEId messageId) override;
    QString GetName() override;
    int GetMessageCount() override;
    void SetReadAhead(ReadAheadWork work, ReadAheadWait wait) override;

private:
    OEMessagePtr nextMessage();

    std::shared_ptr<FileStore> m_store;
    OEId m_id;
    std::vector<OEId> m_children;
    std::size_t m_childCursor = 0;
    std::shared_ptr<const std::vector<MessageLocation>> m_messages;
    std::size_t m_messageCursor = 0;
    std::shared_ptr<FileMessage> m_current; // the walk's latest message, handed out again by GetMessage
    ReadAheadWork m_readAheadWork;
    ReadAheadWait m_readAheadWait;
    std::unique_ptr<ReadAheadPool> m_readAhead; // declared last: its workers stop before the rest goes
};

} // namespace velmora
