// Reads every field of every message of a generated Maildir through the file store, and compares that with
// plainly reading the same files' bytes in the same run.
//
//   VELMORA_BENCH_STORE=/path/to/maildir ./bench_message_read
//
// Without VELMORA_BENCH_STORE a small store is generated into /tmp with the project's Maildir generator
// (VELMORA_GEN_MAILDIR names it; default /work/shared/tools/gen_maildir.py).
#include "store/FileMessage.h"
#include "store/FileStore.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

QString benchStore()
{
    if (const char* given = std::getenv("VELMORA_BENCH_STORE")) {
        return QString::fromLocal8Bit(given);
    }
    const QString path = QStringLiteral("/tmp/velmora-bench-store");
    if (!QFileInfo::exists(path)) {
        const char* generator = std::getenv("VELMORA_GEN_MAILDIR");
        const std::string command = std::string("python3 ")
            + (generator ? generator : "/work/shared/tools/gen_maildir.py")
            + " --messages 1000 --folders 4 --seed 7 --out " + path.toStdString() + " > /dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate the benchmark store: %s\n", command.c_str());
            std::exit(1);
        }
    }
    return path;
}

template <typename Visit> void forEachMessage(const OEFolderPtr& folder, Visit&& visit)
{
    for (OEMessagePtr m = folder->GetFirstMessage(); m; m = folder->GetNextMessage()) {
        visit(m);
    }
    for (OEFolderPtr c = folder->GetFirstChild(); c; c = folder->GetNextChild()) {
        forEachMessage(c, visit);
    }
}

std::vector<QByteArray> messagePaths(const QString& root)
{
    std::vector<QByteArray> paths;
    forEachMessage(openFileStore(root)->GetFirstFolder(),
                   [&paths](const OEMessagePtr& m) { paths.push_back(static_cast<FileMessage&>(*m).location().path); });
    return paths;
}

// Seconds to read every file's bytes once, best of three (the page cache is warm after the first).
double rawReadSeconds(const std::vector<QByteArray>& paths)
{
    static std::vector<char> buffer(1 << 20);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (const QByteArray& path : paths) {
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) { }
            if (fd >= 0) {
                ::close(fd);
            }
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void readFields(benchmark::State& state, bool withHtml)
{
    const QString root = benchStore();
    const std::vector<QByteArray> paths = messagePaths(root);
    const double raw = rawReadSeconds(paths);
    std::int64_t messages = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        forEachMessage(openFileStore(root)->GetFirstFolder(), [&](const OEMessagePtr& m) {
            try {
                benchmark::DoNotOptimize(m->GetSubject());
                benchmark::DoNotOptimize(m->GetBody(102400));
                benchmark::DoNotOptimize(m->GetDisplayTo());
                benchmark::DoNotOptimize(m->GetDisplayFrom());
                benchmark::DoNotOptimize(m->GetSize());
                benchmark::DoNotOptimize(m->GetCreationTime());
                if (withHtml) {
                    benchmark::DoNotOptimize(m->GetHTMLBody());
                }
            } catch (const StoreError&) {
            }
            ++messages;
        });
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perRun = seconds / static_cast<double>(state.iterations());
    state.counters["messages"] = static_cast<double>(paths.size());
    state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
    state.counters["raw_msgs_per_s"] = static_cast<double>(paths.size()) / raw;
    state.counters["times_raw_read"] = perRun / raw; // how many plain reads of the files one parse pass costs
}

void BM_KeyFields(benchmark::State& state)
{
    readFields(state, false);
}

void BM_AllFieldsWithHtml(benchmark::State& state)
{
    readFields(state, true);
}

} // namespace

BENCHMARK(BM_KeyFields)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AllFieldsWithHtml)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
