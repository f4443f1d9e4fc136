// Visualizers: their data replies and the members that select and read them.
#include "rcp/rcp_visualizers.h"

#include <gtest/gtest.h>

#include "rcp/rcp_lists.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::ListReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

Variant Bytes(std::vector<std::int32_t> values)
{
    return Variant(std::vector<Variant>(values.begin(), values.end()));
}

TEST(RcpVisualizerData, OnlyBytesPresentAndAnnouncedCount)
{
    struct Case {
        const char* value;
        std::vector<std::int32_t> bytes;
    };
    const Case cases[] = {
        {"data bytes: 4\r\n0A0bFF10", {10, 11, 255, 16}},
        {"data bytes: 4\r\n0A0B", {10, 11}},       // fewer bytes than announced
        {"data bytes: 2\r\n0A0B0C", {10, 11}},     // more than announced
        {"data bytes: 3\r\n0A0", {10}},            // half a byte
        {"data bytes: 3\r\n0AZZ0B", {10}},         // up to the first non-hex pair
        {"data bytes: 99999999999999\r\n01", {1}}, // a count beyond reason
        {"data bytes: 0\r\n0A", {}},
        {"data bytes: -2\r\n0A", {}},
        {"data bytes: many\r\n0A", {}},
        {"data bytes: 2 0A0B", {}}, // no line break after the header
        {"", {}},
        {"0A0B\r\n0A0B", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ParseVisualizerData(c.value), Bytes(c.bytes));
    }
}

class RcpVisualizers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ListVisualizers(player_.session(), visualizers_), S_OK);
        player_.Forget();
    }

    std::shared_ptr<IRCPVisualizer> Named(std::string_view name)
    {
        std::int32_t count = 0;
        visualizers_->get_Count(count);
        for (std::int32_t i = 0; i < count; ++i) {
            std::shared_ptr<IRCPVisualizer> visualizer;
            visualizers_->Item(Variant(i), visualizer);
            std::string found;
            visualizer->get_Name(found);
            if (found == name)
                return visualizer;
        }
        return nullptr;
    }

    ScriptedSession player_{{
        {"ListVisualizers", ListReply("ListVisualizers", {"Clock", "Vertical VU-Meter",
                                                          "Voice Print", "Oscilloscope"})},
        {"GetVizDataVU", ValueReply("GetVizDataVU", "data bytes: 2\r\n0102")},
        {"GetVizDataFreq", ValueReply("GetVizDataFreq", "data bytes: 1\r\n03")},
        {"GetVizDataScope", ValueReply("GetVizDataScope", "ErrorNoServer")},
        {"SetVisualizer 3", OkReply("SetVisualizer")},
        {"GetVisualizer", ValueReply("GetVisualizer", "Voice Print")},
    }};
    std::shared_ptr<IEnumRCPVisualizers> visualizers_;
};

TEST_F(RcpVisualizers, DataComesFromTheCommandOfTheVisualizersKind)
{
    struct Case {
        const char* name;
        HRESULT expected;
        std::vector<std::int32_t> bytes;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"Clock", S_OK, {}, {}},
        {"Vertical VU-Meter", S_OK, {1, 2}, {"GetVizDataVU"}},
        {"Voice Print", S_OK, {3}, {"GetVizDataFreq"}},
        {"Oscilloscope", E_RCP_NO_SERVER, {}, {"GetVizDataScope"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto visualizer = Named(c.name);
        ASSERT_TRUE(visualizer);
        Variant data(7);
        EXPECT_EQ(visualizer->get_Data(data), c.expected);
        EXPECT_EQ(data, Bytes(c.bytes));
        EXPECT_EQ(player_.Sent(), c.sent);
        player_.Forget();
    }
    Variant data;
    EXPECT_EQ(visualizers_->get_VisualizerDataVU(data), S_OK);
    EXPECT_EQ(data, Bytes({1, 2}));
}

TEST_F(RcpVisualizers, CurrentVisualizerIsTheListedOneOfThatName)
{
    std::shared_ptr<IRCPVisualizer> current;
    ASSERT_EQ(visualizers_->get_CurrentVisualizer(current), S_OK);
    ASSERT_TRUE(current);
    std::int32_t id = 0;
    current->get_ID(id);
    EXPECT_EQ(id, 2);

    player_.Reply("GetVisualizer", ValueReply("GetVisualizer", "Lava Lamp"));
    EXPECT_EQ(visualizers_->get_CurrentVisualizer(current), S_FALSE);
    EXPECT_FALSE(current);

    player_.Forget();
    EXPECT_EQ(Named("Oscilloscope")->Select(), S_OK);
    EXPECT_EQ(player_.Sent(), std::vector<std::string>{"SetVisualizer 3"});
}

} // namespace
} // namespace velk
