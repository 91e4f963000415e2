#pragma once

#include "IOEMessage.h"

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
};

} // namespace velmora
