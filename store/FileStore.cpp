#include "FileStore.h"

#include "FileFolder.h"
#include "FileMessage.h"

#include <QDir>
#include <QFileInfo>

#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

    const QString kDeletedItems = QStringLiteral("Deleted Items");

    std::string describe(const QByteArray& path)
    {
        return path.toStdString() + ": " + std::strerror(errno);
    }

    bool isRegularFile(const QByteArray& path, struct stat* info = nullptr)
    {
        struct stat local = {};
        struct stat* target = info ? info : &local;
        return ::lstat(path.constData(), target) == 0 && S_ISREG(target->st_mode);
    }

    QByteArray baseName(const QByteArray& path)
    {
        return path.mid(path.lastIndexOf('/') + 1);
    }

    QByteArray parentDirectory(const QByteArray& path)
    {
        return path.left(path.lastIndexOf('/'));
    }

    // Moves without ever replacing an existing file: renameat2 refuses an existing target; where the file system
    // cannot do that, a hard link (which also refuses) plus unlink does the same. Returns false with errno set.
    bool renameNoReplace(const QByteArray& from, const QByteArray& to)
    {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
            return false;
        }
        if (::link(from.constData(), to.constData()) != 0) {
            return false;
        }
        if (::unlink(from.constData()) != 0) {
            const int error = errno;
            ::unlink(to.constData());
            errno = error;
            return false;
        }
        return true;
    }

    // Another name for `name` in the target folder after a clash: the Maildir info suffix (or ".eml") stays last,
    // so the copy keeps its flags and delivery time.
    QByteArray alternativeName(const QByteArray& name, int attempt, bool emlTarget)
    {
        const QByteArray tag = QByteArray::number(attempt);
        if (emlTarget) {
            return name.left(name.size() - 4) + " (" + tag + ")" + name.right(4);
        }
        const QByteArray unique = maildirUniquePart(name);
        return unique + ".velmora" + tag + name.mid(unique.size());
    }

    bool endsWithEml(const QByteArray& name)
    {
        return name.size() > 4 && name.right(4).toLower() == ".eml";
    }

} // namespace

std::shared_ptr<FileStore> FileStore::open(const QString& directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir()) {
        throw StoreError("The mail folder " + QFile::encodeName(directory).toStdString() + " does not exist");
    }
    QString name = QFileInfo(QDir::cleanPath(directory)).fileName();
    if (name.isEmpty()) {
        name = QFileInfo(canonical).fileName();
    }
    if (name.isEmpty()) {
        name = canonical;
    }
    std::shared_ptr<FileStore> store(new FileStore(canonical, name));
    store->rescan();
    return store;
}

MailStorePtr openFileStore(const QString& directory)
{
    return FileStore::open(directory);
}

FileStore::FileStore(const QString& root, const QString& rootName)
    : m_root(root)
    , m_rootName(rootName)
{
}

QString FileStore::identity()
{
    return m_root;
}

void FileStore::rescan()
{
    const std::vector<ScannedFolder> scanned = scanFolderTree(QFile::encodeName(m_root), m_rootName);
    std::vector<FolderIds::Key> keys;
    keys.reserve(scanned.size());
    for (const ScannedFolder& folder : scanned) {
        keys.emplace_back(folder.device, folder.inode);
    }
    m_folderIds.assign(keys);
    std::map<OEId, FolderNode> folders;
    for (const ScannedFolder& folder : scanned) {
        FolderNode node;
        node.path = folder.path;
        node.name = folder.name;
        node.kind = folder.kind;
        node.device = folder.device;
        node.inode = folder.inode;
        if (folder.parent >= 0) {
            const ScannedFolder& parent = scanned[static_cast<std::size_t>(folder.parent)];
            node.parent = m_folderIds.idOf({ parent.device, parent.inode });
        }
        folders[m_folderIds.idOf({ folder.device, folder.inode })] = std::move(node);
    }
    for (auto& [id, node] : folders) {
        if (node.parent != 0) {
            folders[node.parent].children.push_back(id);
        }
    }
    // Children by name, case ignored first, so the order does not depend on the directory's order on disk.
    for (auto& [id, node] : folders) {
        std::sort(node.children.begin(), node.children.end(), [&folders](OEId a, OEId b) {
            const QString& left = folders[a].name;
            const QString& right = folders[b].name;
            const int folded = left.compare(right, Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : left < right;
        });
    }
    m_rootId = m_folderIds.idOf({ scanned.front().device, scanned.front().inode });
    m_folders = std::move(folders);
}

const FileStore::FolderNode& FileStore::node(OEId folderId) const
{
    const auto it = m_folders.find(folderId);
    if (it == m_folders.end()) {
        throw StoreError("No such folder");
    }
    return it->second;
}

OEFolderPtr FileStore::folderHandle(OEId folderId)
{
    if (m_folders.count(folderId) == 0) {
        return nullptr;
    }
    return std::make_shared<FileFolder>(shared_from_this(), folderId);
}

OEFolderPtr FileStore::GetFirstFolder()
{
    rescan();
    return folderHandle(m_rootId);
}

OEFolderPtr FileStore::GetFolder(OEId folderId)
{
    const auto it = m_folders.find(folderId);
    if (it != m_folders.end()) {
        struct stat info = {};
        const FolderNode& folder = it->second;
        if (::lstat(folder.path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev == folder.device
            && info.st_ino == folder.inode) {
            return folderHandle(folderId);
        }
    }
    // Unknown, moved or renamed since the last look: look again.
    rescan();
    return folderHandle(folderId);
}

QString FileStore::folderName(OEId folderId) const
{
    return node(folderId).name;
}

std::vector<OEId> FileStore::childIds(OEId folderId) const
{
    return node(folderId).children;
}

OEId FileStore::messageIdFor(OEId folderId, const QByteArray& key)
{
    const auto it = m_messageIds.find({ folderId, key });
    if (it != m_messageIds.end()) {
        return it->second;
    }
    if (m_lastMessageId == std::numeric_limits<OEId>::max()) {
        throw StoreError("No message identifiers left in this session");
    }
    const OEId id = ++m_lastMessageId;
    m_messageIds.emplace(std::make_pair(folderId, key), id);
    return id;
}

std::vector<MessageLocation> FileStore::locateMessages(OEId folderId) const
{
    const FolderNode& folder = node(folderId);
    const std::vector<MessageFileEntry> files = listMessageFiles(folder.path, folder.kind);
    std::vector<MessageLocation> locations;
    locations.reserve(files.size());
    for (const MessageFileEntry& file : files) {
        MessageLocation location;
        location.folder = folderId;
        location.path = file.path;
        location.directory = file.directory;
        location.fileName = file.fileName;
        location.uniquePart = file.uniquePart;
        location.entered = file.entered;
        location.modified = file.modified;
        locations.push_back(std::move(location));
    }
    return locations;
}

std::vector<MessageLocation> FileStore::registerMessages(OEId folderId, std::vector<MessageLocation> locations)
{
    m_messages.reserve(m_messages.size() + locations.size());
    m_messageIds.reserve(m_messageIds.size() + locations.size());
    QSet<QByteArray> seen;
    seen.reserve(static_cast<qsizetype>(locations.size()));
    for (MessageLocation& location : locations) {
        MessageRecord record;
        record.folder = folderId;
        record.path = location.path;
        if (!seen.contains(location.uniquePart)) {
            seen.insert(location.uniquePart);
            record.key = location.uniquePart;
            record.uniquePart = location.uniquePart;
        } else {
            // Two files with one unique name (in cur/ and new/): only the exact path tells them apart.
            record.key = location.uniquePart + '\0' + location.path;
        }
        location.id = messageIdFor(folderId, record.key);
        m_messages[location.id] = std::move(record);
    }
    return locations;
}

int FileStore::countMessages(OEId folderId) const
{
    const FolderNode& folder = node(folderId);
    const std::size_t count = countMessageFiles(folder.path, folder.kind);
    return static_cast<int>(std::min<std::size_t>(count, std::numeric_limits<int>::max()));
}

std::optional<QByteArray> FileStore::locate(OEId messageId)
{
    const auto it = m_messages.find(messageId);
    if (it == m_messages.end()) {
        return std::nullopt;
    }
    MessageRecord& record = it->second;
    if (isRegularFile(record.path)) {
        return record.path;
    }
    const auto folder = m_folders.find(record.folder);
    if (record.uniquePart.isEmpty() || folder == m_folders.end() || folder->second.kind != FolderKind::Maildir) {
        return std::nullopt;
    }
    for (const MessageFileEntry& file : listMessageFiles(folder->second.path, FolderKind::Maildir)) {
        if (file.uniquePart == record.uniquePart) {
            record.path = file.path;
            return record.path;
        }
    }
    return std::nullopt;
}

OEMessagePtr FileStore::findMessage(OEId folderId, OEId messageId)
{
    const auto it = m_messages.find(messageId);
    if (it == m_messages.end() || it->second.folder != folderId) {
        return nullptr;
    }
    std::optional<QByteArray> path;
    try {
        path = locate(messageId);
    } catch (const StoreError&) {
        return nullptr; // the folder itself is gone
    }
    if (!path) {
        return nullptr;
    }
    MessageLocation location;
    location.id = messageId;
    location.folder = folderId;
    location.path = *path;
    // locate() has just seen the file. A Maildir name carries the delivery time; the modification time is read
    // when asked for, and only a name without a time needs the file's.
    const std::optional<QDateTime> delivered
        = node(folderId).kind == FolderKind::Maildir ? maildirDeliveryTime(baseName(*path)) : std::nullopt;
    if (delivered) {
        location.entered = *delivered;
    } else {
        struct stat info = {};
        if (!isRegularFile(*path, &info)) {
            return nullptr;
        }
        location.modified = QDateTime::fromMSecsSinceEpoch(
            qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000, Qt::UTC);
        location.entered = location.modified;
    }
    return std::make_shared<FileMessage>(shared_from_this(), location);
}

void FileStore::forget(OEId messageId)
{
    const auto it = m_messages.find(messageId);
    if (it == m_messages.end()) {
        return;
    }
    m_messageIds.erase({ it->second.folder, it->second.key });
    m_messages.erase(it);
}

OEId FileStore::deletedItemsFolder()
{
    rescan();
    const FolderNode& root = node(m_rootId);
    for (const char* wanted : { "Deleted Items", "Trash" }) {
        for (const OEId child : root.children) {
            if (m_folders.at(child).name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0) {
                return child;
            }
        }
    }
    // None yet: make one in the store's own layout.
    bool maildirStore = root.kind == FolderKind::Maildir;
    for (const OEId child : root.children) {
        maildirStore = maildirStore || baseName(m_folders.at(child).path).startsWith('.');
    }
    const QByteArray path = root.path + (maildirStore ? "/." : "/") + QFile::encodeName(kDeletedItems);
    if (::mkdir(path.constData(), 0700) != 0) {
        throw StoreError("Cannot create the Deleted Items folder " + describe(path));
    }
    if (maildirStore) {
        for (const char* sub : { "/cur", "/new", "/tmp" }) {
            if (::mkdir((path + sub).constData(), 0700) != 0) {
                throw StoreError("Cannot create the Deleted Items folder " + describe(path + sub));
            }
        }
    }
    rescan();
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0) {
        throw StoreError("The new Deleted Items folder vanished " + describe(path));
    }
    const OEId id = m_folderIds.idOf({ info.st_dev, info.st_ino });
    if (id == 0 || m_folders.count(id) == 0) {
        throw StoreError("The new Deleted Items folder is not part of the store");
    }
    return id;
}

bool FileStore::moveToFolder(const QByteArray& source, OEId targetFolder)
{
    const FolderNode& target = node(targetFolder);
    QByteArray name = baseName(source);
    QByteArray directory = target.path;
    const bool emlTarget = target.kind != FolderKind::Maildir;
    if (emlTarget) {
        if (!endsWithEml(name)) {
            name += ".eml"; // otherwise the folder would not show it as a message
        }
    } else {
        directory += baseName(parentDirectory(source)) == "new" ? "/new" : "/cur";
    }
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const QByteArray candidate
            = directory + '/' + (attempt == 0 ? name : alternativeName(name, attempt, emlTarget));
        if (renameNoReplace(source, candidate)) {
            return true;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == ENOENT && !isRegularFile(source)) {
            return false; // renamed under us: the caller looks for it again
        }
        throw StoreError("Cannot move the message to Deleted Items: " + describe(source));
    }
    throw StoreError("No free name for the message in Deleted Items: " + source.toStdString());
}

void FileStore::removeMessage(OEId messageId, int flag)
{
    if (m_messages.count(messageId) == 0) {
        throw StoreError("The message no longer exists");
    }
    // Another program may rename the file (new flags) at any moment; look it up again a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::optional<QByteArray> path = locate(messageId);
        if (!path) {
            forget(messageId);
            throw StoreError("The message no longer exists");
        }
        if (flag != 0) {
            if (::unlink(path->constData()) == 0) {
                forget(messageId);
                return;
            }
            if (errno != ENOENT) {
                throw StoreError("Cannot delete the message " + describe(*path));
            }
            continue;
        }
        const OEId trash = deletedItemsFolder();
        if (m_messages.at(messageId).folder == trash) {
            throw StoreError("The message is in Deleted Items already");
        }
        if (moveToFolder(*path, trash)) {
            forget(messageId);
            return;
        }
    }
    throw StoreError("The message file kept changing its name; it was not removed");
}

} // namespace velmora
