// The options object: its option words, values and refusals, against a scripted player.
#include "rcp/rcp_options.h"

#include <gtest/gtest.h>

#include "platform/error_info.h"
#include "rcp/rcp_lists.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

TEST(RcpOptions, GetsMapThePlayersWords)
{
    struct Case {
        const char* option;
        const char* value;
        std::function<HRESULT(IRCPOptions&, std::int32_t&)> get;
        HRESULT expected;
        std::int32_t result;
    };
    const auto boot = [](IRCPOptions& o, std::int32_t& v) { return o.get_BootMode(v); };
    const auto standby = [](IRCPOptions& o, std::int32_t& v) { return o.get_StandbyMode(v); };
    const auto threshold = [](IRCPOptions& o, std::int32_t& v) { return o.get_WMAThreshold(v); };
    const auto multichannel = [](IRCPOptions& o, std::int32_t& v) {
        bool on = false;
        HRESULT hr = o.get_MultiChannel(on);
        v = on;
        return hr;
    };
    const Case cases[] = {
        {"bootMode", "lastState", boot, S_OK, 0},
        {"bootMode", "serverList", boot, S_OK, 3},
        {"bootMode", "sleep", boot, E_UNEXPECTED, -1},
        {"standbyMode", "screenOff", standby, S_OK, 1},
        {"standbyMode", "", standby, E_UNEXPECTED, -1},
        {"wmaThreshold", "250", threshold, S_OK, 250},
        {"wmaThreshold", "high", threshold, E_UNEXPECTED, -1},
        {"outputMultichannel", "1", multichannel, S_OK, 1},
        {"outputMultichannel", "yes", multichannel, S_OK, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + "=" + c.value);
        ScriptedSession player(testing::Replies{
            {std::string("GetOption ") + c.option, ValueReply("GetOption", c.value)}});
        const auto options = MakeOptions(player.session());
        std::int32_t result = -1;
        ClearErrorInfo();
        EXPECT_EQ(c.get(*options, result), c.expected);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(GetErrorInfo().has_value(), FAILED(c.expected));
    }
}

TEST(RcpOptions, PutsSendTheOptionWordAndValue)
{
    struct Case {
        std::function<HRESULT(IRCPOptions&)> put;
        HRESULT expected;
        const char* sent; // nullptr: nothing
    };
    const Case cases[] = {
        {[](IRCPOptions& o) { return o.put_BootMode(2); }, S_OK, "SetOption bootMode lastSource"},
        {[](IRCPOptions& o) { return o.put_BootMode(4); }, E_INVALIDARG, nullptr},
        {[](IRCPOptions& o) { return o.put_BootMode(-1); }, E_INVALIDARG, nullptr},
        {[](IRCPOptions& o) { return o.put_StandbyMode(0); }, S_OK, "SetOption standbyMode clock"},
        {[](IRCPOptions& o) { return o.put_StandbyMode(2); }, E_INVALIDARG, nullptr},
        {[](IRCPOptions& o) { return o.put_ScrollLongInfo(true); }, S_OK,
         "SetOption scrollLongInfo 1"},
        {[](IRCPOptions& o) { return o.put_SkipUnchecked(false); }, S_OK,
         "SetOption skipUnchecked 0"},
        {[](IRCPOptions& o) { return o.put_WMAThreshold(128); }, S_OK,
         "SetOption wmaThreshold 128"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent ? c.sent : "refused");
        ScriptedSession player;
        if (c.sent)
            player.Reply(c.sent, OkReply("SetOption"));
        const auto options = MakeOptions(player.session());
        EXPECT_EQ(c.put(*options), c.expected);
        EXPECT_EQ(player.Sent(),
                  c.sent ? std::vector<std::string>{c.sent} : std::vector<std::string>{});
    }
}

} // namespace
} // namespace velk
