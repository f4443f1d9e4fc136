// What the simulator itself costs, so that client benchmarks can tell their time from its time:
// lines per second of a 20,000-song "ListSongs" answer and the round trip of small requests,
// both measured against the real velk-sim program over a plain loopback socket.
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "tools/sim/sim_test_support.h"

namespace velk::sim {
namespace {

constexpr int kSongs = 20000;

// One simulator and one RCP connection for all benchmarks of the run.
struct Fixture {
    testing::SimProcess sim{{"--songs", std::to_string(kSongs), "--no-upnp"}};
    std::unique_ptr<testing::PlayerSocket> rcp;

    Fixture()
    {
        if (!sim.ready())
            return;
        rcp = std::make_unique<testing::PlayerSocket>(sim.address());
        rcp->Greeting();
        rcp->EnterRcp();
        // Song numbers refer to the connection's last song list.
        rcp->Rcp("ListSongs");
    }

    static Fixture& Get()
    {
        static Fixture fixture;
        return fixture;
    }
};

void BM_ListSongs20000(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.rcp) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    std::int64_t lines = 0;
    for (auto _ : state) {
        fixture.rcp->Send("ListSongs\r\n");
        const std::string answer = fixture.rcp->ReadUntil("ListSongs: TransactionComplete\r\n");
        std::int64_t count = 0;
        for (std::size_t at = answer.find("\r\n"); at != std::string::npos;
             at = answer.find("\r\n", at + 2))
            ++count;
        if (count != kSongs + 4) {
            state.SkipWithError("incomplete list answer");
            return;
        }
        lines += count;
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
    state.SetItemsProcessed(lines);
}
BENCHMARK(BM_ListSongs20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A request and its answer, from sending to the answer's end: `ends` times the text `end`.
void BM_RequestLatency(benchmark::State& state, const char* request, const char* end, int ends)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.rcp) {
        state.SkipWithError("velk-sim did not start");
        return;
    }
    const std::string line = std::string(request) + "\r\n";
    for (auto _ : state) {
        fixture.rcp->Send(line);
        for (int i = 0; i < ends; ++i)
            benchmark::DoNotOptimize(fixture.rcp->ReadUntil(end));
    }
}
// One value line; the song information lines up to OK; the data header and the data line.
BENCHMARK_CAPTURE(BM_RequestLatency, GetVolume, "GetVolume", "\r\n", 1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RequestLatency, GetSongInfo, "GetSongInfo 0", "GetSongInfo: OK\r\n", 1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RequestLatency, GetDisplayData, "GetDisplayData", "\r\n", 2)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace
} // namespace velk::sim
