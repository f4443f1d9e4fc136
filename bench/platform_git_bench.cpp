// Round trips of a call into another apartment: what every cross-thread call of the service
// (reader thread to session, provider worker to host) costs.
#include "platform/apartment.h"
#include "platform/git.h"

#include <benchmark/benchmark.h>

namespace velk {
namespace {

struct Target : IUnknown {
    int calls = 0;
};

void BM_GitInvokeRoundTrip(benchmark::State& state)
{
    ApartmentThread owner;
    auto target = std::make_shared<Target>();
    DWORD cookie = 0;
    Git::Global().Register(target, owner.apartment(), cookie);
    for (auto _ : state) {
        Git::Global().Invoke<Target>(cookie, [](Target& t) {
            ++t.calls;
            return S_OK;
        });
    }
    Git::Global().Revoke(cookie);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GitInvokeRoundTrip);

void BM_ApartmentPostAndPump(benchmark::State& state)
{
    auto apartment = Apartment::Create();
    Event done(Event::Reset::Auto);
    for (auto _ : state) {
        apartment->Post([&] { done.Set(); });
        apartment->PumpUntil({done}, kInfinite);
    }
    apartment->Close();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApartmentPostAndPump);

} // namespace
} // namespace velk
