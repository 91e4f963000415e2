#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace velmora::test {

inline QString ConfigFixture(const QString& name)
{
    return QStringLiteral(VELMORA_TEST_DATA "/config/") + name;
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// Copies a fixture into `folder` as config.xml, writable, and gives its path.
inline QString CopyFixture(const QString& fixture, const QString& folder)
{
    const QString target = folder + QStringLiteral("/config.xml");
    WriteBytes(target, ReadBytes(ConfigFixture(fixture)));
    return target;
}

// Joins lines with CR LF after each, as the configuration file is laid out.
inline QByteArray Lines(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

} // namespace velmora::test
