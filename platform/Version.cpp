#include "Version.h"

#include <QStringList>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION ""
#endif

namespace velmora {

QString shortVersion(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    if (parts.size() < 3) {
        return {};
    }
    QStringList numbers;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 10);
        if (!ok) {
            return {};
        }
        numbers << QString::number(value);
    }
    return numbers.join(QLatin1Char('.'));
}

QString GetAppVersion()
{
    return shortVersion(QStringLiteral(VELMORA_VERSION));
}

} // namespace velmora
