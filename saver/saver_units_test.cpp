// The saver's pure parts: the tick count that fades and moves the picture, where the picture
// fits and lands, the settings' limits in a real registry, and the command line as xscreensaver
// gives it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/reg_key.h"
#include "saver/saver_motion.h"
#include "saver/saver_settings.h"
#include "saver/saver_target.h"

namespace velk {
namespace {

TEST(SaverMotion, FadesFromTheSixteenHundredthTickAndMovesWhenTheOpacityWasOne)
{
    struct Case {
        int ticks;    // counted from the start
        int opacity;  // after them
        int moves;    // moves among them
    };
    const Case cases[] = {
        {1, 255, 0},    {1599, 255, 0}, // 7995 ms: not yet
        {1600, 254, 0},                 // 8000 ms, the first above 7999
        {1853, 1, 0},                   // 254 steps down
        {1854, 255, 1},                 // the opacity was 1: opaque again, moved
        {1854 + 1599, 255, 1},          // the count started again
        {1854 + 1600, 254, 1},          //
        {2 * 1854, 255, 2},             // and so round
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticks);
        CSaverMotion motion;
        int moves = 0;
        for (int i = 0; i < c.ticks; ++i)
            moves += motion.Tick() ? 1 : 0;
        EXPECT_EQ(motion.opacity(), c.opacity);
        EXPECT_EQ(moves, c.moves);
    }
}

TEST(SaverMotion, PictureFitsInHalfTheHeightAndTheWidthLeavingRoomNeverNegative)
{
    struct Case {
        const char* what;
        QSize picture, window, fitted, room;
    };
    const Case cases[] = {
        {"large display on a screen", {512, 32}, {1024, 768}, {512, 32}, {512, 736}},
        {"own picture", {179, 16}, {1920, 1080}, {179, 16}, {1741, 1064}},
        {"half the height exactly", {280, 16}, {600, 32}, {280, 16}, {320, 16}},
        {"as tall as the window", {280, 16}, {600, 16}, {140, 8}, {460, 8}},
        {"preview narrower than the picture", {512, 32}, {200, 150}, {200, 12}, {0, 138}},
        {"no window yet", {512, 32}, {0, 0}, {}, {}},
        {"no picture", {0, 0}, {1024, 768}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SaverLayout layout = FitPicture(c.picture, c.window);
        EXPECT_EQ(layout.picture, c.fitted);
        EXPECT_EQ(layout.room, c.room);
    }
}

TEST(SaverMotion, PlaceIsRoomTimesRandomOver32767)
{
    struct Case {
        QSize room;
        std::uint32_t r1, r2;
        QPoint expected;
    };
    const Case cases[] = {
        {{512, 736}, 0, 0, {0, 0}},
        {{512, 736}, 32767, 32767, {512, 736}},
        {{512, 736}, 16384, 8192, {256, 184}},
        {{512, 736}, 1u << 31, 40000, {512, 736}}, // beyond the range: its end
        {{0, 0}, 32767, 32767, {0, 0}},
        {{-5, -5}, 32767, 32767, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.r1 << "," << c.r2);
        EXPECT_EQ(PlaceInRoom(c.room, c.r1, c.r2), c.expected);
    }
}

class SaverSettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/velk-saver-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("VELK_REGISTRY_DIR", dir_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    RegKey Key()
    {
        RegKey key;
        EXPECT_EQ(key.Create(Hive::CurrentUser, SaverSettings::kKey), S_OK);
        return key;
    }

    std::string dir_;
};

TEST_F(SaverSettingsTest, LongerOrNonStringValuesCountAsEmpty)
{
    const std::string server_limit(SaverSettings::kMaxServerChars, 's');
    const std::string udn_limit(SaverSettings::kMaxDeviceUDNChars, 'u');
    struct Case {
        const char* what;
        std::string server, udn;
        QString expected_server, expected_udn;
    };
    const Case cases[] = {
        {"at the limits", server_limit, udn_limit, QString::fromStdString(server_limit),
         QString::fromStdString(udn_limit)},
        {"one beyond", server_limit + "s", udn_limit + "u", "", ""},
        {"a whole long name", "living-room-media-server.home.example.net:4445", "uuid:1",
         "living-room-media-server.home.example.net:4445", "uuid:1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegKey key = Key();
        key.SetStringValue("Server", c.server);
        key.SetStringValue("DeviceUDN", c.udn);
        const SaverSettings settings = SaverSettings::Load();
        EXPECT_EQ(settings.server, c.expected_server);
        EXPECT_EQ(settings.udn, c.expected_udn);
    }
    RegKey key = Key();
    key.SetDWORDValue("Server", 7);
    key.DeleteValue("DeviceUDN");
    EXPECT_EQ(SaverSettings::Load().server, QString());
    EXPECT_EQ(SaverSettings::Load().udn, QString());
}

TEST_F(SaverSettingsTest, SaveCreatesTheKeyKeepsTheWholeServerNameAndRemovesEmptyValues)
{
    SaverSettings settings{"a-server-name-longer-than-fifteen.example", "uuid:5A1B-0001"};
    ASSERT_EQ(settings.Save(), S_OK);
    const SaverSettings loaded = SaverSettings::Load();
    EXPECT_EQ(loaded.server, settings.server);
    EXPECT_EQ(loaded.udn, settings.udn);

    ASSERT_EQ(SaverSettings{}.Save(), S_OK);
    std::string value;
    EXPECT_TRUE(FAILED(Key().QueryStringValue("Server", value)));
    EXPECT_TRUE(FAILED(Key().QueryStringValue("DeviceUDN", value)));
}

TEST(SaverSettings, ThisComputersNameConnectsLocally)
{
    struct Case {
        const char* server;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""}, {"mediabox", ""}, {"MEDIABOX", ""}, {"other", "other"},
        {"mediabox:4446", "mediabox:4446"}, {"mediabox.home", "mediabox.home"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        EXPECT_EQ(ServiceServer(c.server, "MediaBox"), QString(c.expected));
    }
}

TEST(SaverTarget, FollowsTheHackConventions)
{
    using Kind = SaverTarget::Kind;
    struct Case {
        QStringList args;
        const char* env;
        HRESULT result;
        Kind kind;
        std::uint64_t window;
    };
    const Case cases[] = {
        {{}, "", S_OK, Kind::FullScreen, 0},
        {{}, "0x400001", S_OK, Kind::FullScreen, 0}, // the variable counts with --root only
        {{"--root"}, "0x400001", S_OK, Kind::Window, 0x400001},
        {{"-root"}, "4194305", S_OK, Kind::Window, 4194305},
        {{"--root"}, "", S_OK, Kind::FullScreen, 0},
        {{"--window-id", "0x2a00007"}, "", S_OK, Kind::Window, 0x2a00007},
        {{"-window-id", "44040199"}, "0x400001", S_OK, Kind::Window, 44040199},
        {{"--config"}, "", S_OK, Kind::Configure, 0},
        {{"--window-id", "window"}, "", E_INVALIDARG, Kind::FullScreen, 0},
        {{"--window-id", "0"}, "", E_INVALIDARG, Kind::FullScreen, 0},
        {{"--root"}, "0xZZ", E_INVALIDARG, Kind::FullScreen, 0},
        {{"--fullscreen"}, "", E_INVALIDARG, Kind::FullScreen, 0},
        {{"stray"}, "", E_INVALIDARG, Kind::FullScreen, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + " / " + c.env);
        SaverTarget target;
        QString error;
        ASSERT_EQ(ParseSaverTarget(c.args, c.env, target, error), c.result);
        if (FAILED(c.result)) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(target.kind, c.kind);
        EXPECT_EQ(target.window, c.window);
    }
}

} // namespace
} // namespace velk
