#pragma once

#include <QString>

namespace velmora {

// The mail identity: which store the folder tree shows. Throws when no store is available.
class IOEIdentity
{
public:
    virtual ~IOEIdentity() = default;
    virtual QString GetCurrentIdentity() = 0;
};

} // namespace velmora
