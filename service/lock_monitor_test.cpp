#include "service/lock_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace velk {
namespace {

using Clock = std::chrono::steady_clock;

// Long beside the test's own steps, so that a busy machine does not end the delay early.
constexpr std::uint32_t kDelayMs = 500;
// Generous: only a broken monitor takes this long.
constexpr std::uint32_t kBoundMs = 10000;

class LockMonitorTest : public ::testing::Test {
protected:
    LockMonitorTest()
        : monitor_(kDelayMs, [this] {
              idle_at_ = Clock::now();
              ++idle_calls_;
              idle_.Set();
          })
    {
        monitor_.Start();
    }

    // No idle call within several delays.
    void ExpectStillRunning()
    {
        EXPECT_FALSE(idle_.Wait(2 * kDelayMs)) << "ended while it should run on";
    }

    Event idle_;
    Clock::time_point idle_at_;
    std::atomic<int> idle_calls_{0};
    LockMonitor monitor_;
};

TEST_F(LockMonitorTest, RunsOnWhenNoLockWasEverTaken)
{
    ExpectStillRunning();
}

TEST_F(LockMonitorTest, LastReleaseEndsAfterTheQuietDelay)
{
    EXPECT_EQ(monitor_.Lock(), 1);
    EXPECT_EQ(monitor_.Lock(), 2);
    EXPECT_EQ(monitor_.Unlock(), 1);
    ExpectStillRunning();

    const auto released = Clock::now();
    EXPECT_EQ(monitor_.Unlock(), 0);
    ASSERT_TRUE(idle_.Wait(kBoundMs));
    EXPECT_GE(idle_at_ - released, std::chrono::milliseconds(kDelayMs));
    EXPECT_EQ(idle_calls_, 1);
}

TEST_F(LockMonitorTest, ActivityDuringTheDelayStartsItAgain)
{
    monitor_.Lock();
    monitor_.Unlock();
    EXPECT_FALSE(idle_.Wait(kDelayMs / 2));
    monitor_.Lock();
    const auto last_activity = Clock::now();
    monitor_.Unlock();
    ASSERT_TRUE(idle_.Wait(kBoundMs));
    EXPECT_GE(idle_at_ - last_activity, std::chrono::milliseconds(kDelayMs));
}

TEST_F(LockMonitorTest, LockTakenAgainKeepsItRunning)
{
    monitor_.Lock();
    monitor_.Unlock();
    monitor_.Lock();
    ExpectStillRunning();
    monitor_.Unlock();
    EXPECT_TRUE(idle_.Wait(kBoundMs));
}

TEST_F(LockMonitorTest, ReleaseWithoutLockCountsNothing)
{
    EXPECT_EQ(monitor_.Unlock(), 0);
    EXPECT_EQ(monitor_.Lock(), 1);
    // The stray release did not make this one the last: the lock still holds.
    ExpectStillRunning();
    EXPECT_EQ(monitor_.Unlock(), 0);
    EXPECT_TRUE(idle_.Wait(kBoundMs));
}

TEST_F(LockMonitorTest, StopEndsTheWatchWithoutIdle)
{
    monitor_.Lock();
    monitor_.Unlock();
    monitor_.Stop();
    EXPECT_FALSE(idle_.Wait(2 * kDelayMs));
}

} // namespace
} // namespace velk
