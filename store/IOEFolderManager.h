#pragma once

#include "IOEFolder.h"

namespace velmora {

class IOEFolderManager
{
public:
    virtual ~IOEFolderManager() = default;

    // The folder with this identifier, or null when there is none.
    virtual OEFolderPtr GetFolder(OEId folderId) = 0;
    // The first top-level folder, or null.
    virtual OEFolderPtr GetFirstFolder() = 0;
};

} // namespace velmora
