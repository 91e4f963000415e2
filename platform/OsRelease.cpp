#include "OsRelease.h"

#include <QFile>

namespace velmora {

namespace {

    // os-release values follow shell quoting: single or double quotes around the value, backslash escapes
    // inside double quotes.
    QString unquote(const QString& value)
    {
        if (value.size() >= 2 && value.front() == value.back()
            && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))) {
            const QString inner = value.mid(1, value.size() - 2);
            if (value.front() == QLatin1Char('\'')) {
                return inner;
            }
            QString out;
            for (qsizetype i = 0; i < inner.size(); ++i) {
                if (inner[i] == QLatin1Char('\\') && i + 1 < inner.size()) {
                    ++i;
                }
                out += inner[i];
            }
            return out;
        }
        return value;
    }

} // namespace

QString systemProductName(const QString& osReleasePath)
{
    QFile file(osReleasePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // The file is a handful of short lines; a hostile or huge file is cut off rather than read whole.
    const QByteArray content = file.read(64 * 1024);
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("PRETTY_NAME="))) {
            return unquote(line.mid(12));
        }
    }
    return {};
}

} // namespace velmora
