#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <sys/types.h>

#include <memory>
#include <optional>
#include <vector>

namespace velmora {

enum class FolderKind {
    Maildir, // messages in cur/ and new/
    EmlDirectory, // messages are the folder's *.eml files
};

// One folder found on disk. Paths are the file system's own bytes, so names that are not valid UTF-8 still work.
struct ScannedFolder
{
    QByteArray path;
    QString name;
    int parent = -1; // index into the scan result; -1 for the root
    dev_t device = 0;
    ino_t inode = 0;
    FolderKind kind = FolderKind::EmlDirectory;
};

// An open directory of message files. Messages opened relative to it cost the kernel one path component
// instead of the whole path.
class MessageDirectory
{
public:
    // Null when `path` cannot be opened as a directory.
    static std::shared_ptr<const MessageDirectory> open(const QByteArray& path);
    explicit MessageDirectory(int fd)
        : m_fd(fd)
    {
    }
    ~MessageDirectory();
    MessageDirectory(const MessageDirectory&) = delete;
    MessageDirectory& operator=(const MessageDirectory&) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

struct MessageFileEntry
{
    QByteArray path;
    std::shared_ptr<const MessageDirectory> directory; // holds the file named fileName, when it could be opened
    QByteArray fileName;
    QByteArray uniquePart; // the file name without a Maildir flag suffix
    qint64 size = 0; // 0 and modified invalid when the listing did not look at the file
    QDateTime modified;
    QDateTime entered; // Maildir delivery time from the name, else the modification time
    qint64 enteredMs = 0; // the same in milliseconds, for sorting
};

// The folder tree below `root` (the root first). Symbolic links are never followed, so nothing outside the root
// is ever reached. Throws StoreError when the root itself cannot be listed; a subfolder that cannot be listed
// is still a folder (its messages fail when they are asked for).
std::vector<ScannedFolder> scanFolderTree(const QByteArray& root, const QString& rootName);

// The message files of one folder, oldest first, then by file name. Throws StoreError when the folder cannot
// be listed.
std::vector<MessageFileEntry> listMessageFiles(const QByteArray& folderPath, FolderKind kind);
// How many files listMessageFiles would give, from the directory entries' types alone: no file is looked at, so
// the count is cheap but may differ from the listing by files that come or go in between.
std::size_t countMessageFiles(const QByteArray& folderPath, FolderKind kind);

// The Maildir unique part of a file name: everything before the ":2," (or "!2," / ";2,") info suffix.
QByteArray maildirUniquePart(const QByteArray& fileName);
// The delivery time at the start of a Maildir name ("1700000000.M1P2.host"), if it has one.
std::optional<QDateTime> maildirDeliveryTime(const QByteArray& fileName);
bool isMaildirDirectory(const QByteArray& path);
// True for the names of files and folders that other mail programs keep next to the mail.
bool isForeignName(const QByteArray& name);

} // namespace velmora
