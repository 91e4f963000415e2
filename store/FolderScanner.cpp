#include "FolderScanner.h"

#include "OETypes.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

    // Deeper trees are not mail stores; the limit also stops a bind-mount loop.
    constexpr int kMaxFolderDepth = 32;

    struct DirEntry
    {
        QByteArray name;
        struct stat info;
    };

    // The entries of a directory, sorted by name, each described without following a symbolic link.
    // Returns false (errno set) when the directory cannot be opened.
    bool readDirectory(const QByteArray& path, std::vector<DirEntry>& entries)
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            DirEntry item { name, {} };
            if (::fstatat(::dirfd(dir), entry->d_name, &item.info, AT_SYMLINK_NOFOLLOW) == 0) {
                entries.push_back(std::move(item));
            }
        }
        ::closedir(dir);
        std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
        return true;
    }

    bool isSubdirectory(const QByteArray& path)
    {
        struct stat info = {};
        return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    QDateTime fromTimespec(const timespec& time)
    {
        return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000, Qt::UTC);
    }

    bool endsWithEml(const QByteArray& name)
    {
        return name.size() > 4 && name.right(4).toLower() == ".eml";
    }

    ScannedFolder folderAt(const QByteArray& path, const QString& name, int parent, const struct stat& info)
    {
        ScannedFolder folder;
        folder.path = path;
        folder.name = name;
        folder.parent = parent;
        folder.device = info.st_dev;
        folder.inode = info.st_ino;
        folder.kind = isMaildirDirectory(path) ? FolderKind::Maildir : FolderKind::EmlDirectory;
        return folder;
    }

    class TreeScanner
    {
    public:
        std::vector<ScannedFolder> folders;

        void addChildren(int index, int depth)
        {
            if (depth >= kMaxFolderDepth) {
                return;
            }
            std::vector<DirEntry> entries;
            if (!readDirectory(folders[index].path, entries)) {
                return;
            }
            const bool maildir = folders[index].kind == FolderKind::Maildir;
            for (const DirEntry& entry : entries) {
                if (!S_ISDIR(entry.info.st_mode) || entry.name.startsWith('.') || isForeignName(entry.name)) {
                    continue;
                }
                if (maildir && (entry.name == "cur" || entry.name == "new" || entry.name == "tmp")) {
                    continue;
                }
                if (!m_seen.insert({ entry.info.st_dev, entry.info.st_ino }).second) {
                    continue;
                }
                const QByteArray path = folders[index].path + '/' + entry.name;
                folders.push_back(folderAt(path, QFile::decodeName(entry.name), index, entry.info));
                addChildren(static_cast<int>(folders.size()) - 1, depth + 1);
            }
        }

        // Maildir++ keeps every folder directly below the root as ".Parent.Child"; the dots give the nesting.
        void addMaildirPlusPlus(const std::vector<DirEntry>& rootEntries)
        {
            std::map<QByteArray, int> byName; // ".A.B" -> index
            for (const DirEntry& entry : rootEntries) {
                if (!S_ISDIR(entry.info.st_mode) || entry.name.size() < 2 || !entry.name.startsWith('.')
                    || entry.name == ".." || isForeignName(entry.name.mid(1))) {
                    continue;
                }
                const QByteArray path = folders[0].path + '/' + entry.name;
                if (!isMaildirDirectory(path) || !m_seen.insert({ entry.info.st_dev, entry.info.st_ino }).second) {
                    continue;
                }
                // The nearest existing ancestor is the parent; missing levels stay part of the name.
                int parent = 0;
                QByteArray rest = entry.name.mid(1);
                for (qsizetype dot = entry.name.lastIndexOf('.'); dot > 0; dot = entry.name.lastIndexOf('.', dot - 1)) {
                    const auto it = byName.find(entry.name.left(dot));
                    if (it != byName.end()) {
                        parent = it->second;
                        rest = entry.name.mid(dot + 1);
                        break;
                    }
                }
                if (rest.isEmpty()) {
                    rest = entry.name.mid(1);
                }
                folders.push_back(folderAt(path, QFile::decodeName(rest), parent, entry.info));
                byName[entry.name] = static_cast<int>(folders.size()) - 1;
            }
        }

        std::set<std::pair<dev_t, ino_t>> m_seen;
    };

} // namespace

std::optional<QDateTime> maildirDeliveryTime(const QByteArray& name)
{
    qint64 seconds = 0;
    qsizetype i = 0;
    for (; i < name.size() && i < 12 && name.at(i) >= '0' && name.at(i) <= '9'; ++i) {
        seconds = seconds * 10 + (name.at(i) - '0');
    }
    if (i == 0 || i >= name.size() || name.at(i) != '.' || seconds <= 0) {
        return std::nullopt;
    }
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

bool isMaildirDirectory(const QByteArray& path)
{
    return isSubdirectory(path + "/cur") || isSubdirectory(path + "/new");
}

bool isForeignName(const QByteArray& name)
{
    // Asked of every listed file: compared in place, without a lower-case copy.
    const auto startsWith = [&name](QByteArrayView prefix) {
        return name.size() >= prefix.size() && qstrnicmp(name.constData(), prefix.data(), prefix.size()) == 0;
    };
    return startsWith("dovecot") || startsWith("courierimap") || (name.size() == 13 && startsWith("maildirfolder"))
        || startsWith("subscriptions") || startsWith("xapian");
}

QByteArray maildirUniquePart(const QByteArray& fileName)
{
    for (qsizetype i = fileName.size() - 3; i > 0; --i) {
        const char separator = fileName.at(i);
        if ((separator == ':' || separator == '!' || separator == ';')
            && (fileName.at(i + 1) == '2' || fileName.at(i + 1) == '1') && fileName.at(i + 2) == ',') {
            return fileName.left(i);
        }
    }
    return fileName;
}

std::vector<ScannedFolder> scanFolderTree(const QByteArray& root, const QString& rootName)
{
    struct stat info = {};
    std::vector<DirEntry> rootEntries;
    if (::lstat(root.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !readDirectory(root, rootEntries)) {
        throw StoreError("Cannot read the mail folder " + root.toStdString() + ": " + std::strerror(errno));
    }
    TreeScanner scanner;
    scanner.folders.push_back(folderAt(root, rootName, -1, info));
    scanner.m_seen.insert({ info.st_dev, info.st_ino });
    scanner.addMaildirPlusPlus(rootEntries);
    const std::size_t plusPlus = scanner.folders.size();
    scanner.addChildren(0, 0);
    // Nested folders inside Maildir++ folders are rare but allowed.
    for (std::size_t i = 1; i < plusPlus; ++i) {
        scanner.addChildren(static_cast<int>(i), 1);
    }
    return scanner.folders;
}

std::shared_ptr<const MessageDirectory> MessageDirectory::open(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? nullptr : std::make_shared<const MessageDirectory>(fd);
}

MessageDirectory::~MessageDirectory()
{
    ::close(m_fd);
}

std::size_t countMessageFiles(const QByteArray& folderPath, FolderKind kind)
{
    std::size_t count = 0;
    auto countIn = [&count](const QByteArray& dir, bool maildir) {
        const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (maildir && errno == ENOENT) {
                return;
            }
            throw StoreError("Cannot list the mail folder " + dir.toStdString() + ": " + std::strerror(errno));
        }
        DIR* handle = ::fdopendir(fd);
        if (!handle) {
            ::close(fd);
            throw StoreError("Cannot list the mail folder " + dir.toStdString());
        }
        while (const dirent* entry = ::readdir(handle)) {
            const QByteArray name = QByteArray::fromRawData(entry->d_name, qsizetype(std::strlen(entry->d_name)));
            if (name.startsWith('.') || isForeignName(name) || (!maildir && !endsWithEml(name))) {
                continue;
            }
            bool regular = entry->d_type == DT_REG;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info = {};
                regular = ::fstatat(::dirfd(handle), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISREG(info.st_mode);
            }
            count += regular ? 1 : 0;
        }
        ::closedir(handle);
    };
    if (kind == FolderKind::Maildir) {
        countIn(folderPath + "/cur", true);
        countIn(folderPath + "/new", true);
    } else {
        countIn(folderPath, false);
    }
    return count;
}

std::vector<MessageFileEntry> listMessageFiles(const QByteArray& folderPath, FolderKind kind)
{
    std::vector<MessageFileEntry> messages;
    auto collect = [&messages](const QByteArray& dir, bool maildir) {
        const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (maildir && errno == ENOENT) {
                return; // a Maildir may lack new/ or cur/
            }
            throw StoreError("Cannot list the mail folder " + dir.toStdString() + ": " + std::strerror(errno));
        }
        DIR* handle = ::fdopendir(fd);
        if (!handle) {
            const int error = errno;
            ::close(fd);
            throw StoreError("Cannot list the mail folder " + dir.toStdString() + ": " + std::strerror(error));
        }
        const std::shared_ptr<const MessageDirectory> directory = MessageDirectory::open(dir);
        while (const dirent* entry = ::readdir(handle)) {
            const QByteArray name(entry->d_name);
            if (name.startsWith('.') || isForeignName(name) || (!maildir && !endsWithEml(name))) {
                continue;
            }
            if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) {
                continue; // symbolic links, directories, devices
            }
            MessageFileEntry message;
            message.path = dir + '/' + name;
            message.directory = directory;
            message.fileName = name;
            message.uniquePart = maildir ? maildirUniquePart(name) : name;
            // A Maildir name tells when the message was delivered; the file itself is looked at only when its name
            // does not, or the directory does not tell what it is. Its modification time is then read when asked.
            const std::optional<QDateTime> delivered = maildir ? maildirDeliveryTime(name) : std::nullopt;
            if (entry->d_type == DT_REG && delivered) {
                message.entered = *delivered;
            } else {
                struct stat info = {};
                if (::fstatat(::dirfd(handle), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0
                    || !S_ISREG(info.st_mode)) {
                    continue;
                }
                message.size = info.st_size;
                message.modified = fromTimespec(info.st_mtim);
                // An .eml file carries no delivery time of its own; its modification time is when it was stored.
                // The Date header is not used: it is the sender's claim and copies of one message share it.
                message.entered = delivered.value_or(message.modified);
            }
            message.enteredMs = message.entered.toMSecsSinceEpoch();
            messages.push_back(std::move(message));
        }
        ::closedir(handle);
    };
    if (!isSubdirectory(folderPath)) {
        throw StoreError("The mail folder " + folderPath.toStdString() + " no longer exists");
    }
    if (kind == FolderKind::Maildir) {
        collect(folderPath + "/cur", true);
        collect(folderPath + "/new", true);
    } else {
        collect(folderPath, false);
    }
    std::stable_sort(messages.begin(), messages.end(), [](const MessageFileEntry& a, const MessageFileEntry& b) {
        if (a.enteredMs != b.enteredMs) {
            return a.enteredMs < b.enteredMs;
        }
        return a.fileName < b.fileName;
    });
    return messages;
}

} // namespace velmora
