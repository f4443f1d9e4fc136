// The player connection's own cost against the simulated player: one Execute round trip beside a
// raw request/response on the same loopback socket kind, list lines per second end to end, and
// the same song list through the RCP session (a collection of songs) beside the bare list.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/apartment.h"
#include "rcp/control_session.h"
#include "rcp/rcp_session.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

constexpr int kSongs = 20000;

struct Fixture {
    std::shared_ptr<Apartment> apartment = Apartment::Create();
    sim::testing::SimProcess sim{{"--songs", std::to_string(kSongs), "--no-upnp"}};
    CControlSession session;
    std::shared_ptr<CRCPSession> rcp_session = std::make_shared<CRCPSession>();
    std::unique_ptr<sim::testing::PlayerSocket> raw;
    bool ready = false;

    Fixture()
    {
        if (!sim.ready() || FAILED(session.Open(sim.address(), {3, 0, 24})) ||
            FAILED(rcp_session->Initialize(nullptr, 0, sim.address())))
            return;
        raw = std::make_unique<sim::testing::PlayerSocket>(sim.address());
        raw->Greeting();
        raw->EnterRcp();
        ready = true;
    }

    static Fixture& Get()
    {
        static Fixture fixture;
        return fixture;
    }
};

void BM_RawGetVolumeRoundTrip(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    for (auto _ : state) {
        fixture.raw->Send("GetVolume\r\n");
        if (fixture.raw->ReadLine().empty()) {
            state.SkipWithError("no answer");
            return;
        }
    }
}
BENCHMARK(BM_RawGetVolumeRoundTrip)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ExecuteGetVolume(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    std::string value;
    for (auto _ : state) {
        if (FAILED(fixture.session.Execute("GetVolume", {}, &value))) {
            state.SkipWithError("GetVolume failed");
            return;
        }
    }
}
BENCHMARK(BM_ExecuteGetVolume)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ExecuteListSongs20000(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    std::int64_t lines = 0;
    for (auto _ : state) {
        std::int64_t count = 0;
        HRESULT hr = fixture.session.ExecuteList("ListSongs", [&count](std::string_view, std::int32_t) {
            ++count;
            return S_OK;
        });
        if (FAILED(hr) || count != kSongs + 1) {
            state.SkipWithError("incomplete list");
            return;
        }
        lines += count;
    }
    state.counters["lines_per_second"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExecuteListSongs20000)->Unit(benchmark::kMillisecond);

void BM_SessionSongs20000(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    std::int64_t lines = 0;
    for (auto _ : state) {
        std::shared_ptr<IEnumRCPSong> songs;
        std::int32_t count = 0;
        if (FAILED(fixture.rcp_session->get_Songs(songs)) || FAILED(songs->get_Count(count)) ||
            count != kSongs) {
            state.SkipWithError("incomplete list");
            return;
        }
        lines += count + 1;
    }
    state.counters["lines_per_second"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SessionSongs20000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velk
