#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace velmora {

// Folder and message identifiers are 32-bit integers given by the store. Trees, indexes and the configuration
// carry them as decimal text and convert them back before each store call.
using OEId = std::int32_t;

inline QString idToText(OEId id)
{
    return QString::number(id);
}

inline std::optional<OEId> idFromText(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

// Thrown by every store operation that fails. An operation that merely has nothing to deliver returns an
// empty value or a null object instead.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace velmora
