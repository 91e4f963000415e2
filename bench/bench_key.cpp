// Key building and indexing throughput, against hashing the same bytes with a fast non-cryptographic hash.
#include "detection/KeyIndex.h"
#include "detection/SearchString.h"
#include "store/MemoryStore.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

#include <functional>
#include <string_view>

using namespace velmora;

namespace {

constexpr int kMessages = 2000;
constexpr int kBodyChars = 4000;

// Bodies of realistic length, one in ten repeated, in plain ASCII or in Cyrillic and CJK text.
std::vector<QString> makeBodies(bool ascii)
{
    QRandomGenerator random(7);
    const QString letters = ascii ? QStringLiteral("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ.,;:0123456789 ")
                                  : QString::fromUtf8("абвгдеёжзийклмнопрстуфхцчшщьыэюя 日本語の文字列です。 ");
    std::vector<QString> bodies;
    for (int i = 0; i < kMessages; ++i) {
        if (i % 10 == 9) {
            bodies.push_back(bodies[static_cast<std::size_t>(i) / 2]);
            continue;
        }
        QString body(kBodyChars, Qt::Uninitialized);
        for (QChar& ch : body) {
            ch = letters[random.bounded(letters.size())];
        }
        bodies.push_back(body);
    }
    return bodies;
}

void setBytes(benchmark::State& state, const std::vector<QString>& bodies)
{
    std::int64_t bytes = 0;
    for (const QString& body : bodies) {
        bytes += body.size() * 2;
    }
    state.SetBytesProcessed(bytes * static_cast<std::int64_t>(state.iterations()));
    state.SetItemsProcessed(static_cast<std::int64_t>(bodies.size()) * static_cast<std::int64_t>(state.iterations()));
}

void keyAndIndex(benchmark::State& state, bool ascii)
{
    const auto bodies = makeBodies(ascii);
    auto store = MemoryStore::create();
    std::vector<OEMessagePtr> messages;
    for (const QString& body : bodies) {
        messages.push_back(store->messageHandle(
            store->addMessage(store->rootId(), { .subject = QStringLiteral("Re: x"), .body = body })));
    }
    const KeyCollator collator;
    KeyDigestMaker maker(collator);
    const FieldTicks ticks;
    for (auto _ : state) {
        KeyIndex index;
        int duplicates = 0;
        for (const auto& message : messages) {
            duplicates += index.addOrFind(maker.digest(BuildKey(*message, ticks)), message->GetID()) ? 1 : 0;
        }
        benchmark::DoNotOptimize(duplicates);
    }
    setBytes(state, bodies);
}

void plainHash(benchmark::State& state, bool ascii)
{
    const auto bodies = makeBodies(ascii);
    for (auto _ : state) {
        std::size_t sum = 0;
        for (const QString& body : bodies) {
            sum += std::hash<std::string_view> {}(std::string_view(reinterpret_cast<const char*>(body.utf16()),
                                                                   static_cast<std::size_t>(body.size()) * 2));
        }
        benchmark::DoNotOptimize(sum);
    }
    setBytes(state, bodies);
}

void BM_KeyAndIndexAscii(benchmark::State& state)
{
    keyAndIndex(state, true);
}
void BM_KeyAndIndexNonLatin(benchmark::State& state)
{
    keyAndIndex(state, false);
}
void BM_FastHashAscii(benchmark::State& state)
{
    plainHash(state, true);
}
void BM_FastHashNonLatin(benchmark::State& state)
{
    plainHash(state, false);
}

BENCHMARK(BM_KeyAndIndexAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastHashAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyAndIndexNonLatin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastHashNonLatin)->Unit(benchmark::kMillisecond);

// Prints the ratios of key building and indexing to plain hashing, measured in this run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const char* kind : { "Ascii", "NonLatin" }) {
            const double key = m_times[std::string("BM_KeyAndIndex") + kind];
            const double hash = m_times[std::string("BM_FastHash") + kind];
            if (key > 0 && hash > 0) {
                std::printf("ratio key+index / fast hash (%s): %.1fx\n", kind, key / hash);
            }
        }
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
