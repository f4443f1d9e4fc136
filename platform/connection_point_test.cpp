#include "platform/connection_point.h"

#include <gtest/gtest.h>

#include <string>

namespace velk {
namespace {

struct Sink {
    std::string name;
    HRESULT result = S_OK;
    std::function<void()> on_call = {};
};

TEST(ConnectionPoint, FiresInAdviseOrderPastFailingSinks)
{
    ConnectionPoint<Sink> point;
    std::string calls;
    DWORD a, b, c;
    ASSERT_EQ(point.Advise(std::make_shared<Sink>(Sink{"a"}), a), S_OK);
    ASSERT_EQ(point.Advise(std::make_shared<Sink>(Sink{"b", E_FAIL}), b), S_OK);
    ASSERT_EQ(point.Advise(std::make_shared<Sink>(Sink{"c"}), c), S_OK);
    EXPECT_NE(a, b);

    EXPECT_EQ(point.Fire([&](Sink& s) { calls += s.name; return s.result; }), 1);
    EXPECT_EQ(calls, "abc");

    EXPECT_EQ(point.Unadvise(b), S_OK);
    EXPECT_EQ(point.Unadvise(b), CONNECT_E_NOCONNECTION);
    calls.clear();
    point.Fire([&](Sink& s) { calls += s.name; return S_OK; });
    EXPECT_EQ(calls, "ac");

    DWORD unused;
    EXPECT_EQ(point.Advise(nullptr, unused), E_POINTER);
}

TEST(ConnectionPoint, SinksMayUnadviseDuringFire)
{
    ConnectionPoint<Sink> point;
    std::string calls;
    DWORD a = 0, b = 0, c = 0;
    auto first = std::make_shared<Sink>(Sink{"a"});
    point.Advise(first, a);
    point.Advise(std::make_shared<Sink>(Sink{"b"}), b);
    point.Advise(std::make_shared<Sink>(Sink{"c"}), c);
    // The first sink unadvises itself and the second: the second must not be called.
    first->on_call = [&] {
        point.Unadvise(a);
        point.Unadvise(b);
    };

    point.Fire([&](Sink& s) {
        calls += s.name;
        if (s.on_call)
            s.on_call();
        return S_OK;
    });
    EXPECT_EQ(calls, "ac");
    EXPECT_EQ(point.Sinks().size(), 1u);
}

} // namespace
} // namespace velk
