#include "platform/timer_queue.h"
#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>

namespace velk {
namespace {

TEST(TimerQueue, OneShotFiresOncePeriodicRepeats)
{
    TimerQueue queue;
    Event once, repeated(Event::Reset::Auto);
    std::atomic<int> once_calls = 0, periodic_calls = 0;
    queue.CreateTimer([&] { ++once_calls; once.Set(); }, 0, 0);
    auto periodic = queue.CreateTimer([&] {
        if (++periodic_calls == 3)
            repeated.Set();
    }, 1, 1);
    ASSERT_TRUE(once.Wait(5000));
    ASSERT_TRUE(repeated.Wait(5000));
    EXPECT_EQ(queue.DeleteTimer(periodic), S_OK);
    const int after_delete = periodic_calls;
    EXPECT_EQ(queue.DeleteTimer(periodic), E_INVALIDARG);
    Event settle;
    queue.CreateTimer([&] { settle.Set(); }, 20, 0);
    ASSERT_TRUE(settle.Wait(5000));
    EXPECT_EQ(periodic_calls, after_delete);
    EXPECT_EQ(once_calls, 1);
}

TEST(TimerQueue, ChangeTimerReschedules)
{
    TimerQueue queue;
    Event fired;
    auto id = queue.CreateTimer([&] { fired.Set(); }, 3600 * 1000, 0);
    EXPECT_FALSE(fired.Wait(20));
    EXPECT_EQ(queue.ChangeTimer(id, 0, 0), S_OK);
    EXPECT_TRUE(fired.Wait(5000));
    EXPECT_EQ(queue.ChangeTimer(id, 0, 0), E_INVALIDARG);
}

TEST(TimerQueue, DeleteWaitsForRunningCallback)
{
    TimerQueue queue;
    Event entered, release;
    std::atomic<bool> finished = false;
    auto id = queue.CreateTimer([&] {
        entered.Set();
        release.Wait(5000);
        finished = true;
    }, 0, 0);
    ASSERT_TRUE(entered.Wait(5000));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release.Set();
    });
    // A one-shot timer is off the list while it runs, yet deleting it waits for the callback.
    EXPECT_EQ(queue.DeleteTimer(id), S_OK);
    EXPECT_TRUE(finished);
    releaser.join();
    EXPECT_EQ(queue.DeleteTimer(id), E_INVALIDARG);
}

TEST(TimerQueue, DeletePeriodicWaitsForRunningCallbackAndCallbackMayDeleteItself)
{
    TimerQueue queue;
    Event entered, release;
    std::atomic<bool> finished = false;
    auto id = queue.CreateTimer([&] {
        entered.Set();
        release.Wait(5000);
        finished = true;
    }, 0, 3600 * 1000);
    ASSERT_TRUE(entered.Wait(5000));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release.Set();
    });
    EXPECT_EQ(queue.DeleteTimer(id), S_OK);
    EXPECT_TRUE(finished);
    releaser.join();

    Event deleted;
    TimerQueue::TimerId self = 0;
    std::atomic<HRESULT> hr = E_FAIL;
    self = queue.CreateTimer([&] {
        hr = queue.DeleteTimer(self);
        deleted.Set();
    }, 10, 10);
    ASSERT_TRUE(deleted.Wait(5000));
    EXPECT_EQ(hr, S_OK);
}

// The caller a running callback waits on must not wait for that callback in turn.
TEST(TimerQueue, DeleteWithoutWaitingLeavesTheRunningCallbackToItsEnd)
{
    TimerQueue queue;
    Event entered, release;
    std::atomic<bool> finished = false;
    std::atomic<int> calls = 0;
    auto id = queue.CreateTimer([&] {
        ++calls;
        entered.Set();
        release.Wait(5000);
        finished = true;
    }, 0, 1);
    ASSERT_TRUE(entered.Wait(5000));
    EXPECT_EQ(queue.DeleteTimer(id, TimerQueue::Completion::DontWait), S_OK);
    EXPECT_FALSE(finished);
    release.Set();
    Event settle;
    queue.CreateTimer([&] { settle.Set(); }, 20, 0);
    ASSERT_TRUE(settle.Wait(5000));
    EXPECT_TRUE(finished);
    EXPECT_EQ(calls, 1) << "a deleted timer fires no more";
}

TEST(TimerQueue, DestroyingTheQueueWaitsForAll)
{
    std::atomic<bool> finished = false;
    Event entered;
    {
        TimerQueue queue;
        queue.CreateTimer([&] {
            entered.Set();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            finished = true;
        }, 0, 0);
        queue.CreateTimer([] {}, 3600 * 1000, 0);
        ASSERT_TRUE(entered.Wait(5000));
    }
    EXPECT_TRUE(finished);
}

} // namespace
} // namespace velk
