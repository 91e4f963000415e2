#include "DataFolder.h"

#include <QDir>

namespace velmora {

QString ApplicationDataFolder()
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored, or the settings would follow the working
    // directory.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) {
        return QDir::cleanPath(configured);
    }
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.config"));
}

QString DataFolder()
{
    return ApplicationDataFolder() + QStringLiteral("/Kestrun/Velmora for Outlook Express");
}

} // namespace velmora
