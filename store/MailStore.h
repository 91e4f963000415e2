#pragma once

#include "IOEFolderManager.h"

namespace velmora {

// A store backend: the folders and messages of one opened store, and the identity naming it.
class MailStore : public IOEFolderManager
{
public:
    virtual QString identity() = 0;
};

using MailStorePtr = std::shared_ptr<MailStore>;

} // namespace velmora
