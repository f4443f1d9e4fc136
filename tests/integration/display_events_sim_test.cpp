// A program that holds a player's display capture through the automation endpoint, as the
// desktop mirror and the browser page do: it hears the picture at once and at every change of
// the simulated display, and the display monitoring it asked for ends with its session.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "automation/automation_client.h"
#include "automation/automation_server.h"
#include "automation/testdata/automation_fixture.h"
#include "platform/apartment.h"
#include "platform/base64.h"
#include "platform/png_file.h"
#include "rcp/rcp_bitmap.h"
#include "rcp/rcp_session.h"
#include "tests/integration/shows_frame.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;
using testing::GetByName;
using testing::PutByName;
using testing::ShowsFrame;

constexpr std::uint32_t kWaitMs = 10000;

// The pictures that arrive as OnDataChange events, decoded.
class Pictures {
public:
    void Add(const std::string& member, const std::vector<Variant>& args)
    {
        std::string text;
        Bitmap picture;
        if (member != "OnDataChange" || args.size() != 1 || FAILED(args[0].ToString(text)))
            return;
        const auto png = Base64Decode(text);
        if (!png || FAILED(DecodePng(*png, picture)))
            return;
        std::lock_guard lock(mutex_);
        pictures_.push_back(std::move(picture));
        arrived_.Set();
    }

    // Waits until a picture after the first `after` ones meets the condition.
    bool WaitFor(std::size_t after, const std::function<bool(const Bitmap&)>& condition)
    {
        const Deadline deadline(kWaitMs);
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                for (std::size_t i = after; i < pictures_.size(); ++i) {
                    if (condition(pictures_[i]))
                        return true;
                }
            }
            if (!arrived_.Wait(deadline.RemainingMs()))
                return false;
        }
    }

    std::size_t count()
    {
        std::lock_guard lock(mutex_);
        return pictures_.size();
    }

private:
    std::mutex mutex_;
    std::vector<Bitmap> pictures_;
    Event arrived_{Event::Reset::Auto};
};

TEST(DisplayOverAutomation, AClientHearsEachChangeAndItsMonitoringEndsWithIt)
{
    SimProcess sim({"--display", "Small VFD"});
    ASSERT_TRUE(sim.ready());
    ApartmentThread thread;
    const auto apartment = thread.apartment();
    std::shared_ptr<CRCPSession> session;
    ASSERT_EQ(apartment->Invoke([&] {
        session = std::make_shared<CRCPSession>();
        return session->Initialize(nullptr, 0, sim.address());
    }), S_OK);
    AutomationServer::Options options;
    options.port = 0;
    options.event_tables.emplace("IRCPBitmap", CRCPBitmap::EventTable());
    Event client_gone;
    options.on_client_closed = [&client_gone] { client_gone.Set(); };
    AutomationServer server(apartment, session, options);
    ASSERT_EQ(server.Start(), S_OK);

    Pictures pictures;
    {
        std::shared_ptr<AutomationClient> client;
        ASSERT_EQ(AutomationClient::Connect("127.0.0.1", server.port(), "", client), S_OK);
        ASSERT_EQ(client->OpenEvents([&](const DispatchablePtr&, const std::string& member,
                                         const std::vector<Variant>& args) {
            pictures.Add(member, args);
        }), S_OK);
        const DispatchablePtr root = client->Root();
        ASSERT_EQ(PutByName(root, "MonitorDisplay", Variant::FromBool(true)), S_OK);
        UnknownPtr object;
        ASSERT_EQ(GetByName(root, "Display").ToObject(object), S_OK);
        const auto display = std::dynamic_pointer_cast<IDispatchable>(object);
        ASSERT_TRUE(display);
        ASSERT_EQ(client->Advise(display), S_OK);

        // The picture comes at once, and follows the display.
        ASSERT_TRUE(pictures.WaitFor(0, [&](const Bitmap& picture) {
            return ShowsFrame(picture, sim.Frame());
        }));
        const std::size_t before = pictures.count();
        const auto frame_before = sim.Frame();
        sim.Control("key " + sim.address() + " CK_VOLUME_UP");
        ASSERT_TRUE(pictures.WaitFor(before, [&](const Bitmap& picture) {
            return !ShowsFrame(picture, frame_before) && ShowsFrame(picture, sim.Frame());
        }));
    }

    // The client went: its monitoring request went with it.
    ASSERT_TRUE(client_gone.Wait(kWaitMs));
    bool monitoring = true;
    apartment->Invoke([&] { return session->get_MonitorDisplay(monitoring); });
    EXPECT_FALSE(monitoring);
    // The player answers in order: once it answered this, it had the unsubscription before.
    std::int32_t volume = 0;
    apartment->Invoke([&] { return session->get_Volume(volume); });
    const auto received = sim.Received();
    EXPECT_NE(std::find(received.begin(), received.end(), "DisplayUpdateEventUnsubscribe"),
              received.end());

    server.Stop();
    apartment->Invoke([&] {
        session->OnShutdown();
        session.reset();
        return S_OK;
    });
}

} // namespace
} // namespace velk
