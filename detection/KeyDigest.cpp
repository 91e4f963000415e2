#include "KeyDigest.h"

#include <QCryptographicHash>

#include <cstring>

namespace velmora {

KeyDigest KeyDigestMaker::digest(const QString& key)
{
    const std::vector<std::uint8_t>& form = m_forms.build(reinterpret_cast<const char16_t*>(key.utf16()), key.size());
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(form.data()), static_cast<qsizetype>(form.size())),
        QCryptographicHash::Blake2b_160);
    KeyDigest d;
    std::memcpy(&d.high, hash.constData(), sizeof d.high);
    std::memcpy(&d.low, hash.constData() + sizeof d.high, sizeof d.low);
    return d;
}

} // namespace velmora
