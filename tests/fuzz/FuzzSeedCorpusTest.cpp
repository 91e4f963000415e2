#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Replays the fuzzer's seeds and the hostile fixtures through the fuzz entry point in the normal build, so a
// crash the fuzzer once found stays fixed under the regular and sanitizer test runs.
TEST(FuzzSeedCorpus, EveryInputReadsWithoutCrashing)
{
    int inputs = 0;
    for (const char* folder : { "fuzz-seeds", "hostile", "messages" }) {
        QDirIterator it(QStringLiteral(VELMORA_TEST_DATA "/") + QLatin1String(folder), QDir::Files);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QByteArray bytes = file.readAll();
            SCOPED_TRACE(file.fileName().toStdString());
            EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<std::size_t>(bytes.size())),
                      0);
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 10) << "the corpus folders are missing";
}

} // namespace
