#include "platform/apartment.h"
#include "platform/git.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace velk {
namespace {

class Counter : public IUnknown {
public:
    std::thread::id last_thread;
    int calls = 0;
};

TEST(Apartment, OneApartmentPerThread)
{
    auto apartment = Apartment::Create();
    ASSERT_TRUE(apartment);
    EXPECT_EQ(Apartment::Current(), apartment);
    EXPECT_FALSE(Apartment::Create());
    apartment->Close();
    apartment.reset();
    EXPECT_FALSE(Apartment::Current());
}

TEST(Apartment, InvokeRunsOnOwnerThreadAndInlineOnItself)
{
    ApartmentThread worker;
    std::thread::id ran_on;
    EXPECT_EQ(worker.apartment()->Invoke([&] {
        ran_on = std::this_thread::get_id();
        // Invoking the apartment from its own thread runs inline instead of deadlocking.
        return worker.apartment()->Invoke([] { return S_FALSE; });
    }),
              S_FALSE);
    EXPECT_NE(ran_on, std::this_thread::get_id());
}

TEST(Apartment, PumpUntilRunsTasksInOrderAndNests)
{
    auto apartment = Apartment::Create();
    Event outer_done, inner_done;
    std::vector<int> order;

    apartment->Post([&] {
        order.push_back(1);
        // A task that waits: the nested pump keeps serving the tasks queued behind it.
        EXPECT_EQ(apartment->PumpUntil({inner_done}, 5000), 0);
        order.push_back(4);
        outer_done.Set();
    });
    apartment->Post([&] { order.push_back(2); });
    apartment->Post([&] {
        order.push_back(3);
        inner_done.Set();
    });

    EXPECT_EQ(apartment->PumpUntil({outer_done}, 5000), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(apartment->PumpUntil({outer_done}, 0), 0);
    Event never;
    EXPECT_EQ(apartment->PumpUntil({never}, 10), kWaitTimeout);

    // A task that keeps queueing itself does not hold the pump past its time-out.
    std::function<void()> again = [&] { apartment->Post(again); };
    apartment->Post(again);
    EXPECT_EQ(apartment->PumpUntil({never}, 20), kWaitTimeout);
    apartment->Close();
}

TEST(Apartment, CallBackIntoWaitingApartmentIsServed)
{
    // The main apartment invokes a worker, which calls back into the main apartment while the
    // main thread waits: the wait pumps, so the call back completes instead of deadlocking.
    auto main_apartment = Apartment::Create();
    ApartmentThread worker;
    int served = 0;
    HRESULT hr = worker.apartment()->Invoke([&] {
        return main_apartment->Invoke([&] {
            ++served;
            return S_OK;
        });
    });
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(served, 1);
    main_apartment->Close();
}

TEST(Apartment, InvokeOnClosedApartmentFailsCleanly)
{
    std::shared_ptr<Apartment> apartment;
    {
        ApartmentThread worker;
        apartment = worker.apartment();
    }
    EXPECT_EQ(apartment->Post([] {}), RPC_E_DISCONNECTED);
    EXPECT_EQ(apartment->Invoke([] { return S_OK; }), RPC_E_DISCONNECTED);
}

TEST(Apartment, QueuedInvokeIsCompletedWhenTheApartmentCloses)
{
    // This thread never pumps, so the invoke is either still queued when the apartment closes
    // (and must be completed then) or refused: the caller never waits for ever.
    auto apartment = Apartment::Create();
    std::atomic<HRESULT> hr = S_OK;
    std::thread caller([&] { hr = apartment->Invoke([] { return S_OK; }); });
    apartment->Close();
    caller.join();
    EXPECT_EQ(hr, RPC_E_DISCONNECTED);
}

TEST(Git, InvokeLandsOnOwnerThread)
{
    ApartmentThread owner;
    auto counter = std::make_shared<Counter>();
    DWORD cookie = 0;
    ASSERT_EQ(Git::Global().Register(counter, owner.apartment(), cookie), S_OK);
    EXPECT_NE(cookie, 0u);

    std::thread::id owner_thread;
    owner.apartment()->Invoke([&] {
        owner_thread = std::this_thread::get_id();
        return S_OK;
    });

    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            for (int n = 0; n < 25; ++n) {
                Git::Global().Invoke<Counter>(cookie, [](Counter& c) {
                    c.last_thread = std::this_thread::get_id();
                    ++c.calls; // no lock needed: every call runs on the owner thread
                    return S_OK;
                });
            }
        });
    }
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(counter->calls, 100);
    EXPECT_EQ(counter->last_thread, owner_thread);
    EXPECT_EQ(Git::Global().Revoke(cookie), S_OK);
}

TEST(Git, RevokedOrUnknownCookiesFailCleanly)
{
    ApartmentThread owner;
    DWORD cookie = 0;
    ASSERT_EQ(Git::Global().Register(std::make_shared<Counter>(), owner.apartment(), cookie), S_OK);
    EXPECT_EQ(Git::Global().Revoke(cookie), S_OK);
    EXPECT_EQ(Git::Global().Revoke(cookie), E_INVALIDARG);
    EXPECT_EQ(Git::Global().Invoke(cookie, [](const UnknownPtr&) { return S_OK; }), E_INVALIDARG);
    EXPECT_EQ(Git::Global().Invoke(0, [](const UnknownPtr&) { return S_OK; }), E_INVALIDARG);
}

TEST(Git, OwnerGoneOrWrongInterface)
{
    DWORD cookie = 0;
    {
        ApartmentThread owner;
        ASSERT_EQ(Git::Global().Register(std::make_shared<Counter>(), owner.apartment(), cookie), S_OK);
        struct Other : IUnknown {};
        EXPECT_EQ(Git::Global().Invoke<Other>(cookie, [](Other&) { return S_OK; }), E_NOINTERFACE);
    }
    EXPECT_EQ(Git::Global().Invoke(cookie, [](const UnknownPtr&) { return S_OK; }), RPC_E_DISCONNECTED);
    Git::Global().Revoke(cookie);

    DWORD unused = 0;
    std::thread plain([&] {
        EXPECT_EQ(Git::Global().Register(std::make_shared<Counter>(), unused), CO_E_NOTINITIALIZED);
    });
    plain.join();
}

} // namespace
} // namespace velk
