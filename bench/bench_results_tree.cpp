// Filling the results tree the way the search run does: one tree update per duplicate, a new group row with
// the original's row when the group is new, then the duplicate's row; every update ends with the automatic
// order. Prints the cost per added row at 10,000 and at 100,000 duplicates and their ratio, which stays near 1
// when placing new rows costs no full sort.

#include "detection/ResultsTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

using namespace velmora;

namespace {

struct Plan
{
    std::vector<int> groupOfDuplicate; // in the order the run finds them
    std::vector<QString> subjects;
};

// `duplicates` duplicates in duplicates / 2 groups: each group has its original and two duplicates, and the
// second duplicate of a group comes later in the folder, after other groups were found.
Plan makePlan(int duplicates)
{
    Plan plan;
    const int groups = duplicates / 2;
    std::mt19937 random(42);
    for (int g = 0; g < groups; ++g) {
        plan.subjects.push_back(QStringLiteral("Re: message %1 about %2").arg(random() % 1000000).arg(g % 97));
    }
    std::vector<int> second;
    for (int g = 0; g < groups; ++g) {
        plan.groupOfDuplicate.push_back(g);
        second.push_back(g);
        if (random() % 2 == 0 || g + 1 == groups) {
            for (int s : second) {
                plan.groupOfDuplicate.push_back(s);
            }
            second.clear();
        }
    }
    return plan;
}

TTreeData row(const QString& subject, int id, int size)
{
    TTreeData data;
    data.Subject = subject;
    data.Folder = QStringLiteral("Inbox");
    data.EntryID = QString::number(id);
    data.StoreID = QStringLiteral("101");
    data.Size = size;
    return data;
}

void fill(ResultsTree& tree, const Plan& plan)
{
    const QString folderId = QStringLiteral("101");
    int nextId = 1;
    std::vector<QString> originOfGroup(plan.subjects.size());
    for (const int g : plan.groupOfDuplicate) {
        const QString& subject = plan.subjects[static_cast<size_t>(g)];
        if (originOfGroup[static_cast<size_t>(g)].isEmpty()) {
            originOfGroup[static_cast<size_t>(g)] = QString::number(nextId++);
        }
        TreeNode* group = tree.findGroupRow(originOfGroup[static_cast<size_t>(g)], folderId);
        tree.beginUpdate();
        if (!group) {
            TTreeData groupData = row(subject, originOfGroup[static_cast<size_t>(g)].toInt(), 0);
            groupData.StoreID.clear();
            group = tree.appendGroupRow(groupData, folderId);
            tree.initializeRow(group);
            tree.initializeRow(tree.appendItemRow(group, row(subject, groupData.EntryID.toInt(), 2000)));
        }
        const int id = nextId++;
        tree.initializeRow(tree.appendItemRow(group, row(subject, id, 1000 + id % 3000)));
        tree.endUpdate();
    }
    tree.expandAll();
}

int rowCount(const ResultsTree& tree)
{
    int rows = 0;
    for (const TreeNode* n = tree.model().firstNode(); n; n = tree.model().nextNode(n)) {
        ++rows;
    }
    return rows;
}

void BM_FillResultsTree(benchmark::State& state)
{
    const Plan plan = makePlan(static_cast<int>(state.range(0)));
    int rows = 0;
    {
        // One untimed fill first, so that every measured fill reuses memory the allocator already holds, as
        // it does for the smaller size after its first round.
        ResultsTree warmUp;
        fill(warmUp, plan);
    }
    for (auto _ : state) {
        ResultsTree tree;
        fill(tree, plan);
        // Counting and freeing the rows is not part of adding them.
        state.PauseTiming();
        rows = rowCount(tree);
        tree.clear();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
// Five repetitions of each size: the ratio takes the median of each, so one run disturbed by the rest of the
// machine cannot decide it.
BENCHMARK(BM_FillResultsTree)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(false);

// Keeps the per-row cost of each size to print their ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<long, std::vector<double>> nsPerRow; // one value a repetition

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rows = run.counters.find("rows");
            if (run.run_type != Run::RT_Iteration || rows == run.counters.end() || run.iterations == 0
                || rows->second.value <= 0) {
                continue;
            }
            // CPU time: the machine may be shared, and waiting for a core is no cost of the tree.
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            const long size = std::stol(run.run_name.args);
            nsPerRow[size].push_back(seconds * 1e9 / rows->second.value);
        }
    }

    double median(long size)
    {
        std::vector<double>& values = nsPerRow[size];
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.nsPerRow.count(10000) && reporter.nsPerRow.count(100000)) {
        const double small = reporter.median(10000);
        const double large = reporter.median(100000);
        std::printf("cost per added row (median of %zu runs): %.0f ns at 10,000 duplicates, %.0f ns at 100,000 "
                    "duplicates, ratio %.2f (must stay below 2)\n",
                    reporter.nsPerRow[10000].size(), small, large, large / small);
    }
    return 0;
}
