// A change on a simulated "Large VFD" (512x32) to the mirror's repaint: a key pressed on the
// simulated remote, the service's capture of the new display, its event over the automation
// endpoint, and CVelkDisplay painting it (offscreen). Reports the time per change and the
// event bytes per change (the base64 PNG a client receives). Runs inside a private network
// namespace, where the service finds the player:
//   tools/sim/upnp_namespace_test.sh build/bin/bench_display
#include <atomic>
#include <chrono>
#include <memory>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include "automation/automation_client.h"
#include "display/testdata/display_test_support.h"
#include "display/velk_display.h"

namespace velk {
namespace {

constexpr int kWaitMs = 30000;

// Runs the event loop until `done` or the wait has passed; false then.
template <class Done> bool PumpUntil(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void BM_ChangeToMirrorRepaint(benchmark::State& state)
{
    testing::ServiceWithPlayer service("Large VFD");
    if (!service.started() || !PumpUntil([] { return testing::ServicePlayers().size() == 1; })) {
        state.SkipWithError("the service found no simulated player");
        return;
    }
    CVelkDisplay display;
    display.resize(1024, 64);
    display.setDeviceUDN(service.udn());
    if (!PumpUntil([&] { return !display.picture().isNull(); })) {
        state.SkipWithError("no picture");
        return;
    }
    // A second client counts what each change costs on the wire.
    std::shared_ptr<AutomationClient> listener;
    DispatchablePtr devices, player, session, capture;
    std::atomic<std::int64_t> bytes{0};
    std::atomic<std::int64_t> events{0};
    if (FAILED(ConnectToService("", listener)) ||
        FAILED(GetObject(listener->Root(), "VelkDevices", devices)) ||
        FAILED(GetObject(devices, "Item", player, {Variant(service.udn().toStdString())},
                         MemberKind::Method)) ||
        FAILED(GetObject(player, "RCPSession", session)) ||
        FAILED(GetObject(session, "Display", capture)) ||
        FAILED(listener->OpenEvents([&](const DispatchablePtr&, const std::string&,
                                        const std::vector<Variant>& args) {
            std::string png;
            if (args.size() == 1 && SUCCEEDED(args[0].ToString(png))) {
                bytes += static_cast<std::int64_t>(png.size());
                ++events;
            }
        })) ||
        FAILED(listener->Advise(capture))) {
        state.SkipWithError("the listener could not advise the capture");
        return;
    }
    PumpUntil([&] { return events > 0; });
    bytes = 0;
    events = 0;

    const std::string keys[] = {"key " + service.sim().address() + " CK_VOLUME_UP",
                                "key " + service.sim().address() + " CK_VOLUME_DOWN"};
    int turn = 0;
    for (auto _ : state) {
        const QImage before = display.picture();
        const auto start = std::chrono::steady_clock::now();
        service.sim().Control(keys[turn++ % 2]);
        if (!PumpUntil([&] { return display.picture() != before; })) {
            state.SkipWithError("the mirror did not follow");
            return;
        }
        display.repaint();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    PumpUntil([&] { return events >= state.iterations(); });
    state.counters["event_bytes_per_change"] =
        events > 0 ? static_cast<double>(bytes) / static_cast<double>(events) : 0;
    state.counters["events_per_change"] =
        static_cast<double>(events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ChangeToMirrorRepaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
} // namespace velk

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!velk::testing::ServiceWithPlayer::Available()) {
        std::fprintf(stderr, "set VELK_MIRROR_SERVICE to the velk program and run inside "
                             "tools/sim/upnp_namespace_test.sh\n");
        return 77;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
