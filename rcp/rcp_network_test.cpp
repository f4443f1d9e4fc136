// The network object against a scripted player.
#include "rcp/rcp_network.h"

#include <gtest/gtest.h>

#include "rcp/rcp_lists.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::LinesReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

TEST(RcpNetwork, SignalQualityReadsTheLineOfTheAttribute)
{
    ScriptedSession player(
        {{"GetWiFiSignalQuality",
          LinesReply("GetWiFiSignalQuality", {"quality: 80", "signal: -52", "noise: -91"})}});
    const auto network = MakeNetwork(player.session());
    struct Case {
        RCPSignalQuality attribute;
        HRESULT expected;
        std::int32_t value;
    };
    const Case cases[] = {
        {RCPSignalQuality::SignalQualityQuality, S_OK, 80},
        {RCPSignalQuality::SignalQualityNoise, S_OK, -91},
        {RCPSignalQuality::SignalQualitySignal, S_OK, -52},
        {static_cast<RCPSignalQuality>(3), E_INVALIDARG, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.attribute));
        std::int32_t value = 0;
        EXPECT_EQ(network->SignalQuality(c.attribute, value), c.expected);
        EXPECT_EQ(value, c.value);
    }

    // A report without the asked line has no answer to give.
    player.Reply("GetWiFiSignalQuality",
                 LinesReply("GetWiFiSignalQuality", {"quality: 80", "noise: loud"}));
    std::int32_t noise = 0;
    EXPECT_EQ(network->SignalQuality(RCPSignalQuality::SignalQualityNoise, noise), E_UNEXPECTED);
}

TEST(RcpNetwork, AddressesAndPasswordUseTheirCommands)
{
    ScriptedSession player({
        {"GetIPAddress", ValueReply("GetIPAddress", "127.0.0.2")},
        {"GetMACAddress", ValueReply("GetMACAddress", "00:0D:4B:01:02:03")},
        {"GetWiFiNetworkSelection", ValueReply("GetWiFiNetworkSelection", "Attic")},
        {"SetWiFiPassword open sesame", OkReply("SetWiFiPassword")},
    });
    const auto network = MakeNetwork(player.session());
    std::string text;
    EXPECT_EQ(network->get_IPAddress(text), S_OK);
    EXPECT_EQ(text, "127.0.0.2");
    EXPECT_EQ(network->get_MACAddress(text), S_OK);
    EXPECT_EQ(text, "00:0D:4B:01:02:03");
    EXPECT_EQ(network->get_WiFiNetwork(text), S_OK);
    EXPECT_EQ(text, "Attic");
    EXPECT_EQ(network->put_WiFiPassword("open sesame"), S_OK);
}

} // namespace
} // namespace velk
