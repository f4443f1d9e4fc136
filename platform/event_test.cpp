#include "platform/event.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace velk {
namespace {

TEST(Event, ManualResetStaysSetUntilReset)
{
    Event event(Event::Reset::Manual);
    EXPECT_FALSE(event.IsSet());
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, AutoResetWakesOneWaiter)
{
    Event event(Event::Reset::Auto);
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, WaitAnyReportsLowestSignalledIndexAndTimesOut)
{
    Event a, b;
    EXPECT_EQ(WaitAny({a, b}, 10), kWaitTimeout);
    b.Set();
    EXPECT_EQ(WaitAny({a, b}, 0), 1);
    a.Set();
    EXPECT_EQ(WaitAny({a, b}, 0), 0);
}

TEST(Event, WaitAnySeesReadableSocketAndSetFromAnotherThread)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Event stop;
    EXPECT_EQ(WaitAny({stop, Waitable::Socket(pair[0])}, 0), kWaitTimeout);
    ASSERT_EQ(write(pair[1], "x", 1), 1);
    EXPECT_EQ(WaitAny({stop, Waitable::Socket(pair[0])}, 1000), 1);

    std::thread setter([&] { stop.Set(); });
    EXPECT_EQ(WaitAny({stop}, kInfinite), 0);
    setter.join();
    close(pair[0]);
    close(pair[1]);
}

} // namespace
} // namespace velk
