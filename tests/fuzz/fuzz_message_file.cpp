// Feeds one message file through the file store: enumeration, every field, an inline part. Built as a libFuzzer
// target with clang (VELMORA_FUZZ) and linked into a GoogleTest that replays the seed corpus in every build.
#include "store/FileStore.h"
#include "store/MessageFileReader.h"

#include <QByteArray>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A plain array, not a std::string: the clean-up at exit runs after static objects are destroyed.
char g_root[] = "/tmp/velmora-fuzz-XXXXXX";

void removeFuzzStore()
{
    const std::string dir(g_root);
    ::unlink((dir + "/cur/1700000000.fuzz.host:2,S").c_str());
    ::rmdir((dir + "/cur").c_str());
    ::rmdir((dir + "/new").c_str());
    ::rmdir(dir.c_str());
}

const char* fuzzStore()
{
    static const bool made = [] {
        if (!::mkdtemp(g_root)) {
            std::abort();
        }
        const std::string path(g_root);
        ::mkdir((path + "/cur").c_str(), 0700);
        ::mkdir((path + "/new").c_str(), 0700);
        std::atexit(removeFuzzStore);
        return true;
    }();
    (void)made;
    return g_root;
}

void readEverything(const velmora::OEMessagePtr& message)
{
    try {
        message->GetSubject();
        message->GetBody(velmora::kDefaultBodyLimit);
        message->GetBody(7);
        message->GetDisplayTo();
        message->GetDisplayFrom();
        message->GetSize();
        message->GetHTMLBody();
        message->GetInlinePart(QStringLiteral("part@fuzz"));
    } catch (const velmora::StoreError&) {
        // An unreadable message is a clear outcome.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = std::string(fuzzStore()) + "/cur/1700000000.fuzz.host:2,S";
    {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::abort();
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const velmora::MailStorePtr store = velmora::openFileStore(QString::fromUtf8(fuzzStore()));
    const velmora::OEFolderPtr root = store->GetFirstFolder();
    for (velmora::OEMessagePtr m = root->GetFirstMessage(); m; m = root->GetNextMessage()) {
        readEverything(m);
    }
    try {
        velmora::readMessageFile(QByteArray::fromStdString(path), velmora::FieldNeeds { true, false, false });
    } catch (const velmora::StoreError&) {
    }
    return 0;
}
