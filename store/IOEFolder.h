#pragma once

#include "IOEMessage.h"
#include "ReadAhead.h"

namespace velmora {

class IOEFolder;
using OEFolderPtr = std::shared_ptr<IOEFolder>;

// One folder of the store. GetFirstChild/GetNextChild and GetFirstMessage/GetNextMessage walk the folder
// object they are called on; a null result is the end of the walk.
class IOEFolder
{
public:
    virtual ~IOEFolder() = default;

    virtual OEId GetID() = 0;
    virtual OEFolderPtr GetFirstChild() = 0;
    virtual OEFolderPtr GetNextChild() = 0;
    virtual OEMessagePtr GetFirstMessage() = 0;
    virtual OEMessagePtr GetNextMessage() = 0;
    // The message with this identifier in this folder, or null when there is none.
    virtual OEMessagePtr GetMessage(OEId messageId) = 0;
    virtual QString GetName() = 0;
    virtual int GetMessageCount() = 0;

    // Asks for `work` on every message of the next walk (GetFirstMessage on), on worker threads ahead of the
    // walker; each message of the walk then carries its result (IOEMessage::GetReadAhead). Stores that cannot
    // read messages concurrently do nothing, and the walker does the work itself.
    virtual void SetReadAhead(ReadAheadWork work, ReadAheadWait wait)
    {
        Q_UNUSED(work);
        Q_UNUSED(wait);
    }
};

} // namespace velmora
