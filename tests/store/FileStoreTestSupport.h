#pragma once

#include "store/IOEFolder.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <utime.h>

namespace velmora::test {

// Writes `bytes` to `root/relative` (making folders on the way) and sets the file's modification time.
inline QString writeFile(const QString& root, const QString& relative, const QByteArray& bytes, qint64 mtime = 0)
{
    const QString path = root + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    file.close();
    if (mtime > 0) {
        const struct utimbuf times = { static_cast<time_t>(mtime), static_cast<time_t>(mtime) };
        ::utime(QFile::encodeName(path).constData(), &times);
    }
    return path;
}

inline QByteArray simpleMessage(const QByteArray& subject, const QByteArray& body = "Body text.\n")
{
    return "From: Sender <sender@example.org>\nTo: Receiver <receiver@example.org>\nSubject: " + subject
        + "\nContent-Type: text/plain; charset=utf-8\n\n" + body;
}

// Every regular file below `root` with a digest of its bytes, to prove what a removal left untouched.
inline std::map<QString, QByteArray> treeDigest(const QString& root)
{
    std::map<QString, QByteArray> digest;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            digest[QDir(root).relativeFilePath(path)]
                = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
        }
    }
    return digest;
}

// The child folder of `folder` named `name`, or null.
inline OEFolderPtr child(const OEFolderPtr& folder, const QString& name)
{
    for (OEFolderPtr c = folder->GetFirstChild(); c; c = folder->GetNextChild()) {
        if (c->GetName() == name) {
            return c;
        }
    }
    return nullptr;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace velmora::test
