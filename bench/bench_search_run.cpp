// The whole search run over a file store, driven the way the window drives it: messages per second against
// plainly reading the same files, and the longest gap between two processings of pending input (the window
// must stay responsive: below 50 ms), also with a 50 MB message in the folder.
//
//   VELMORA_BENCH_STORE=/path/to/maildir ./bench_search_run
//
// Without VELMORA_BENCH_STORE a store of 3,000 generated messages plus one 50 MB message is made in /tmp.
#include "detection/DuplicateRuns.h"
#include "store/FileStore.h"

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

QString benchStore()
{
    if (const char* given = std::getenv("VELMORA_BENCH_STORE")) {
        return QString::fromLocal8Bit(given);
    }
    const QString path = QStringLiteral("/tmp/velmora-bench-responsive");
    if (!QFileInfo::exists(path)) {
        const char* generator = std::getenv("VELMORA_GEN_MAILDIR");
        const std::string command = std::string("python3 ") + (generator ? generator : VELMORA_GENERATOR)
            + " --messages 3000 --folders 3 --seed 5 --out " + path.toStdString() + " > /dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate the benchmark store: %s\n", command.c_str());
            std::exit(1);
        }
        // One 50 MB message in the first folder.
        QFile big(path + QStringLiteral("/cur/1500000000.M1P1.bench:2,S"));
        if (!big.open(QIODevice::WriteOnly)) {
            std::exit(1);
        }
        big.write("From: Big <big@example.org>\nSubject: A very large message\nContent-Type: text/plain\n\n");
        const QByteArray line(76, 'x');
        for (int i = 0; i < 50 * 1024 * 1024 / 77; ++i) {
            big.write(line + '\n');
        }
    }
    return path;
}

double rawReadSeconds(const QString& root, std::int64_t& files)
{
    static std::vector<char> buffer(1 << 20);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        files = 0;
        const auto start = Clock::now();
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QByteArray path = QFile::encodeName(it.next());
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) { }
            if (fd >= 0) {
                ::close(fd);
                ++files;
            }
        }
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Records the time between two processings of pending input, as a window would feel it.
class TimingHost : public RunHost
{
public:
    void processPendingEvents() override
    {
        const auto now = Clock::now();
        if (m_last) {
            m_gaps.push_back(std::chrono::duration<double, std::milli>(now - *m_last).count());
        }
        m_last = now;
    }
    void setProgressRange(int) override { }
    void setProgressPosition(int) override { }
    void setProgressVisible(bool) override { }
    void setStatusPanelWidth(int, int) override { }
    void setStatusText(int, const QString&) override { processPendingEvents(); }
    void setHint(const QString&) override { }
    void showPage(int) override { }
    void setRunCommandsEnabled(bool) override { }
    bool confirm(const QString&) override { return true; }

    void start() { m_last = Clock::now(); }
    std::vector<double>& gaps() { return m_gaps; }

private:
    std::optional<Clock::time_point> m_last;
    std::vector<double> m_gaps;
};

void BM_SearchRun(benchmark::State& state)
{
    const QString root = benchStore();
    std::int64_t files = 0;
    const double raw = rawReadSeconds(root, files);
    double seconds = 0;
    double longestGap = 0;
    double p99 = 0;
    for (auto _ : state) {
        const auto store = FileStore::open(root);
        ResultsTree results;
        FolderTree folders;
        folders.setFolderManager(store.get());
        folders.FillFolderTree();
        for (TreeNode* row = folders.model().firstNode(); row; row = folders.model().nextNode(row)) {
            folders.model().setCheckStateDirect(row, CheckState::Checked);
        }
        FieldTicks ticks;
        const KeyCollator collator;
        TimingHost host;
        DuplicateRuns runs(host, *store, results, folders, ticks, collator);
        host.start();
        const auto start = Clock::now();
        runs.SearchButtonClick();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        std::vector<double>& gaps = host.gaps();
        std::sort(gaps.begin(), gaps.end());
        if (!gaps.empty()) {
            longestGap = std::max(longestGap, gaps.back());
            p99 = std::max(p99, gaps[gaps.size() * 99 / 100]);
        }
    }
    const double perRun = seconds / static_cast<double>(state.iterations());
    state.counters["messages"] = static_cast<double>(files);
    state.counters["msgs_per_s"] = static_cast<double>(files) / perRun;
    state.counters["raw_msgs_per_s"] = static_cast<double>(files) / raw;
    state.counters["times_raw_read"] = perRun / raw;
    state.counters["longest_gap_ms"] = longestGap;
    state.counters["p99_gap_ms"] = p99;
}

} // namespace

BENCHMARK(BM_SearchRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
