// What a call through the automation endpoint costs beside the same call in process: a
// property read by dispid on an object of another apartment, directly (Apartment::Invoke) and
// through the HTTP + JSON server and its client over loopback.
#include <benchmark/benchmark.h>

#include "automation/automation_client.h"
#include "automation/automation_server.h"
#include "automation/testdata/test_objects.h"
#include "platform/apartment.h"

namespace velk {
namespace {

struct Fixture {
    ApartmentThread apartment;
    std::shared_ptr<testing::CTestObject> object;
    std::unique_ptr<AutomationServer> server;
    std::shared_ptr<AutomationClient> client;
    DISPID count_dispid = 0;
    bool ready = false;

    Fixture()
    {
        apartment.apartment()->Invoke([this] {
            object = std::make_shared<testing::CTestObject>();
            return S_OK;
        });
        AutomationServer::Options options;
        options.port = 0;
        server = std::make_unique<AutomationServer>(apartment.apartment(), object, options);
        ready = SUCCEEDED(server->Start()) &&
                SUCCEEDED(AutomationClient::Connect("127.0.0.1", server->port(), "", client)) &&
                SUCCEEDED(object->Table().GetIDOfName("Count", count_dispid));
    }
    ~Fixture()
    {
        client.reset();
        server->Stop();
        apartment.apartment()->Invoke([this] {
            object.reset();
            return S_OK;
        });
    }

    static Fixture& Get()
    {
        static Fixture fixture;
        return fixture;
    }
};

void BM_InProcessGet(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("the server did not start");
        return;
    }
    for (auto _ : state) {
        fixture.apartment.apartment()->Invoke([&] {
            std::vector<Variant> args;
            Variant result;
            return fixture.object->Invoke(fixture.count_dispid, MemberKind::PropertyGet, args,
                                          result);
        });
    }
}
BENCHMARK(BM_InProcessGet)->Unit(benchmark::kMicrosecond);

void BM_AutomationServerGet(benchmark::State& state)
{
    Fixture& fixture = Fixture::Get();
    if (!fixture.ready) {
        state.SkipWithError("the server did not start");
        return;
    }
    const DispatchablePtr root = fixture.client->Root();
    for (auto _ : state) {
        std::vector<Variant> args;
        Variant result;
        if (FAILED(root->Invoke(fixture.count_dispid, MemberKind::PropertyGet, args, result))) {
            state.SkipWithError("the call failed");
            return;
        }
    }
}
BENCHMARK(BM_AutomationServerGet)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velk
