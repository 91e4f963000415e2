#include "platform/ExceptionTracker.h"
#include "platform/CodeLocation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace velmora;

namespace trackertest {

struct Failure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct Unrelated
{
};

std::atomic<int> g_sideEffect { 0 };

struct Guard
{
    ~Guard() { g_sideEffect.fetch_add(1); }
};

__attribute__((noinline)) void raiseFailure()
{
    throw Failure("failure");
}

__attribute__((noinline)) void cleanupFrame()
{
    Guard guard;
    raiseFailure();
}

__attribute__((noinline)) void unrelatedCatchFrame()
{
    try {
        cleanupFrame();
    } catch (const Unrelated&) {
        g_sideEffect.fetch_add(100);
    }
}

__attribute__((noinline)) void catchAllFrame()
{
    try {
        unrelatedCatchFrame();
    } catch (...) {
        g_sideEffect.fetch_add(10);
    }
}

__attribute__((noinline)) void raiseAndCatchInside()
{
    try {
        raiseFailure();
    } catch (const std::exception&) {
        g_sideEffect.fetch_add(1000);
    }
}

__attribute__((noinline)) void noexceptFrame() noexcept
{
    raiseAndCatchInside();
}

} // namespace trackertest

namespace {

// Keeps what the tracker reported for each raise in this test.
class ExceptionTrackerTest : public ::testing::Test
{
protected:
    struct Seen
    {
        const std::type_info* type;
        std::uintptr_t raiseAddress;
        ExceptionFrameList frames;
        std::string what;
    };

    void SetUp() override
    {
        ExceptionTracker::start();
        m_id = ExceptionTracker::registerNotifier([this](const RaisedException& e) {
            Seen seen { e.type, e.raiseAddress, *ExceptionTracker::threadFrames(), {} };
            void* object = e.object;
            if (exceptionTypeMatches(&typeid(std::exception), e.type, &object)) {
                seen.what = static_cast<const std::exception*>(object)->what();
            }
            m_seen.push_back(std::move(seen));
        });
    }

    void TearDown() override
    {
        ExceptionTracker::unregisterNotifier(m_id);
        ExceptionTracker::stop();
    }

    ExceptionTracker::NotifierId m_id = 0;
    std::vector<Seen> m_seen;
};

TEST_F(ExceptionTrackerTest, ClassifiesTheActiveFramesInnermostFirst)
{
    trackertest::catchAllFrame();

    ASSERT_EQ(m_seen.size(), 1u);
    const Seen& seen = m_seen.front();
    EXPECT_EQ(*seen.type, typeid(trackertest::Failure));
    EXPECT_EQ(seen.what, "failure");
    EXPECT_EQ(locateCode(seen.raiseAddress - 1).procedureName, "trackertest::raiseFailure()");

    ASSERT_GE(seen.frames.size(), 3u);
    const ExceptionFrame& cleanup = seen.frames[0];
    const ExceptionFrame& unrelated = seen.frames[1];
    const ExceptionFrame& any = seen.frames[2];
    EXPECT_EQ(cleanup.kind, ExceptionFrameKind::efkFinally);
    EXPECT_EQ(locateCode(cleanup.codeAddress).procedureName, "trackertest::cleanupFrame()");
    EXPECT_EQ(unrelated.kind, ExceptionFrameKind::efkOnException);
    ASSERT_EQ(unrelated.catchTypes.size(), 1u);
    EXPECT_EQ(*unrelated.catchTypes[0], typeid(trackertest::Unrelated));
    EXPECT_EQ(any.kind, ExceptionFrameKind::efkAnyException);
    EXPECT_LT(cleanup.location, unrelated.location);
    EXPECT_LT(unrelated.location, any.location);

    trackertest::Failure object("x");
    std::uintptr_t handler = 0;
    EXPECT_FALSE(cleanup.handles(&typeid(trackertest::Failure), &object, &handler));
    EXPECT_FALSE(unrelated.handles(&typeid(trackertest::Failure), &object, &handler));
    EXPECT_TRUE(any.handles(&typeid(trackertest::Failure), &object, &handler));
    EXPECT_EQ(handler, any.landingPad);
    EXPECT_EQ(locateCode(handler).procedureName, "trackertest::catchAllFrame()");
}

TEST_F(ExceptionTrackerTest, TypedCatchHandlesTheClassAndItsPublicBasesOnly)
{
    trackertest::raiseAndCatchInside();

    ASSERT_EQ(m_seen.size(), 1u);
    ASSERT_FALSE(m_seen[0].frames.empty());
    // The raising function's own try block is the innermost frame.
    const ExceptionFrame& frame = m_seen[0].frames[0];
    EXPECT_EQ(frame.kind, ExceptionFrameKind::efkOnException);
    EXPECT_EQ(locateCode(frame.codeAddress).procedureName, "trackertest::raiseAndCatchInside()");

    trackertest::Failure failure("x");
    std::logic_error logic("y");
    trackertest::Unrelated unrelated;
    EXPECT_TRUE(frame.handles(&typeid(trackertest::Failure), &failure, nullptr));
    EXPECT_TRUE(frame.handles(&typeid(std::logic_error), &logic, nullptr));
    EXPECT_FALSE(frame.handles(&typeid(trackertest::Unrelated), &unrelated, nullptr));
}

TEST_F(ExceptionTrackerTest, NoexceptBoundaryIsAnAutoFrame)
{
    trackertest::noexceptFrame();

    ASSERT_EQ(m_seen.size(), 1u);
    ASSERT_GE(m_seen[0].frames.size(), 2u);
    const ExceptionFrame& boundary = m_seen[0].frames[1];
    EXPECT_EQ(boundary.kind, ExceptionFrameKind::efkAutoException);
    EXPECT_EQ(locateCode(boundary.codeAddress).procedureName, "trackertest::noexceptFrame()");
    trackertest::Unrelated unrelated;
    EXPECT_TRUE(boundary.handles(&typeid(trackertest::Unrelated), &unrelated, nullptr));
}

TEST_F(ExceptionTrackerTest, SeesRaisesInsideTheStandardLibrary)
{
    std::vector<int> empty;
    EXPECT_THROW(static_cast<void>(empty.at(3)), std::out_of_range);

    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(*m_seen[0].type, typeid(std::out_of_range));
}

TEST_F(ExceptionTrackerTest, DropsRaisesInsideANotifierAndSurvivesAThrowingOne)
{
    int nestedCaught = 0;
    const auto id = ExceptionTracker::registerNotifier([&nestedCaught](const RaisedException&) {
        try {
            throw std::runtime_error("inside the notifier");
        } catch (const std::runtime_error&) {
            ++nestedCaught;
        }
        throw std::logic_error("escapes the notifier");
    });

    try {
        throw trackertest::Failure("outer");
    } catch (const trackertest::Failure& e) {
        EXPECT_STREQ(e.what(), "outer");
    }
    ExceptionTracker::unregisterNotifier(id);

    EXPECT_EQ(nestedCaught, 1);
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].what, "outer");
}

TEST_F(ExceptionTrackerTest, NotifiesInPriorityOrderAndNotAfterStop)
{
    std::vector<int> order;
    const auto late = ExceptionTracker::registerNotifier([&order](const RaisedException&) { order.push_back(2); });
    const auto early = ExceptionTracker::registerNotifier([&order](const RaisedException&) { order.push_back(1); },
                                                          NotifierPriority::First);
    try {
        throw 7;
    } catch (int) {
    }
    EXPECT_EQ(order, (std::vector<int> { 1, 2 }));

    ExceptionTracker::stop();
    try {
        throw 8;
    } catch (int) {
    }
    EXPECT_EQ(order.size(), 2u);
    ExceptionTracker::unregisterNotifier(late);
    ExceptionTracker::unregisterNotifier(early);
}

TEST_F(ExceptionTrackerTest, ThreadsRecordTheirOwnFrames)
{
    std::vector<std::thread> threads;
    std::atomic<int> caught { 0 };
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&caught] {
            for (int n = 0; n < 50; ++n) {
                trackertest::catchAllFrame();
                caught.fetch_add(1);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(caught.load(), 200);
    ASSERT_EQ(m_seen.size(), 200u);
    for (const Seen& seen : m_seen) {
        ASSERT_GE(seen.frames.size(), 3u);
        EXPECT_EQ(seen.frames[2].kind, ExceptionFrameKind::efkAnyException);
    }
}

TEST(CodeLocationTest, NamesFunctionFileAndLineOrNothing)
{
    const auto address = reinterpret_cast<std::uintptr_t>(&trackertest::raiseFailure);
    const CodeLocation found = locateCode(address);
    EXPECT_EQ(found.address, address);
    EXPECT_EQ(found.procedureName, "trackertest::raiseFailure()");
    EXPECT_EQ(found.sourceName, "ExceptionTrackerTest.cpp");
    EXPECT_EQ(found.unitName, "platform_tracker_tests");
    EXPECT_GT(found.line, 0);

    // Data has no line information.
    const auto buffer = std::make_unique<char[]>(64);
    const CodeLocation none = locateCode(reinterpret_cast<std::uintptr_t>(buffer.get()));
    EXPECT_EQ(none.address, 0u);
    EXPECT_TRUE(none.unitName.empty());
    EXPECT_TRUE(none.procedureName.empty());
    EXPECT_TRUE(none.sourceName.empty());
    EXPECT_EQ(none.line, 0);
}

} // namespace
