#include "KeyDigest.h"

#include <QCryptographicHash>

#include <cstring>

namespace velmora {

KeyDigest KeyDigestMaker::digest(const QString& key)
{
    m_collator.sortKey(reinterpret_cast<const char16_t*>(key.utf16()), key.size(), m_sortKey);
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(m_sortKey.data()), static_cast<qsizetype>(m_sortKey.size())),
        QCryptographicHash::Blake2b_160);
    KeyDigest d;
    std::memcpy(&d.high, hash.constData(), sizeof d.high);
    std::memcpy(&d.low, hash.constData() + sizeof d.high, sizeof d.low);
    return d;
}

} // namespace velmora
