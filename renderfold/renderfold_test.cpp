// The renderers' rules that need no window: the transport words, what a LastChange or DIDL-Lite
// document from a device changes (hostile ones included), the association classes, the verbs a
// state shows, and what `renderfold --regserver` writes.
#include <gtest/gtest.h>

#include <string>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/shell_handlers.h"
#include "platform/testdata/renderer_item.h"
#include "renderfold/association_classes.h"
#include "renderfold/double_click_setting.h"
#include "renderfold/last_change.h"
#include "renderfold/media_renderer_property_sheet_ext.h"
#include "renderfold/renderer_context_menu.h"

namespace velk {
namespace {

std::string Escaped(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else if (c == '"')
            escaped += "&quot;";
        else if (c == '&')
            escaped += "&amp;";
        else
            escaped += c;
    }
    return escaped;
}

std::string Didl(std::string_view title, std::string_view extra = "")
{
    return "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\">"
           "<item id=\"1\"><dc:title>" + std::string(title) + "</dc:title><upnp:artist>Ann Artist</upnp:artist>"
           "<upnp:album>First Album</upnp:album><upnp:author role=\"Composer\">Carl Composer</upnp:author>" +
           std::string(extra) + "</item></DIDL-Lite>";
}

// An AVTransport LastChange event with the variables (name, val) for one instance.
std::string LastChange(int instance, const std::vector<std::pair<std::string, std::string>>& variables)
{
    std::string event = "<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/AVT/\"><InstanceID val=\"" +
                        std::to_string(instance) + "\">";
    for (const auto& [name, value] : variables)
        event += "<" + name + " val=\"" + Escaped(value) + "\"/>";
    return event + "</InstanceID></Event>";
}

TEST(TransportWordsTest, StatesShowTheirWords)
{
    struct Case {
        const char* word;
        tagAVTransportState state;
        const char* text;
    };
    const Case cases[] = {
        {"STOPPED", AV_TRANSPORT_STOPPED, "Stopped"},
        {"PLAYING", AV_TRANSPORT_PLAYING, "Playing"},
        {"TRANSITIONING", AV_TRANSPORT_TRANSITIONING, "Buffering..."},
        {"PAUSED_PLAYBACK", AV_TRANSPORT_PAUSED_PLAYBACK, "Paused"},
        {"PAUSED_RECORDING", AV_TRANSPORT_PAUSED_RECORDING, "Paused (Record)"},
        {"RECORDING", AV_TRANSPORT_RECORDING, "Recording"},
        {"NO_MEDIA_PRESENT", AV_TRANSPORT_NO_MEDIA_PRESENT, "No Media Present"},
        {"playing", AV_TRANSPORT_UNKNOWN, ""},
        {"", AV_TRANSPORT_UNKNOWN, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(TransportStateFromWord(c.word), c.state);
        EXPECT_EQ(TransportStateText(c.state), c.text);
    }
}

TEST(TransportWordsTest, ShuffleTogglesAndRepeatCycles)
{
    struct Case {
        PlayMode mode;
        PlayMode shuffle;
        PlayMode repeat;
    };
    const Case cases[] = {
        {PLAY_MODE_NORMAL, PLAY_MODE_SHUFFLE, PLAY_MODE_REPEAT_ALL},
        {PLAY_MODE_SHUFFLE, PLAY_MODE_NORMAL, PLAY_MODE_SHUFFLE},
        {PLAY_MODE_REPEAT_ALL, PLAY_MODE_SHUFFLE, PLAY_MODE_REPEAT_ONE},
        {PLAY_MODE_REPEAT_ONE, PLAY_MODE_SHUFFLE, PLAY_MODE_NORMAL},
        {PLAY_MODE_RANDOM, PLAY_MODE_SHUFFLE, PLAY_MODE_RANDOM},
        {PLAY_MODE_OTHER, PLAY_MODE_SHUFFLE, PLAY_MODE_OTHER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(ToggledShuffle(c.mode), c.shuffle);
        EXPECT_EQ(CycledRepeat(c.mode), c.repeat);
    }
    EXPECT_EQ(PlayModeWord(PLAY_MODE_REPEAT_ONE), "REPEAT_ONE");
    EXPECT_EQ(PlayModeWord(PLAY_MODE_OTHER), "NORMAL");
    EXPECT_EQ(PlayModeFromWord("DIRECT_1"), PLAY_MODE_DIRECT_1);
    EXPECT_EQ(PlayModeFromWord("SOMETHING"), PLAY_MODE_OTHER);
}

TEST(LastChangeTest, AnEventForTheInstanceChangesItsVariables)
{
    RendererChanges changes;
    ASSERT_EQ(ParseLastChange(LastChange(0, {{"TransportState", "PAUSED_PLAYBACK"},
                                             {"CurrentPlayMode", "REPEAT_ALL"},
                                             {"CurrentTrackDuration", "0:03:25"},
                                             {"CurrentTrackMetaData", Didl("Song &amp; Dance")}}),
                              0, changes),
              S_OK);
    EXPECT_EQ(changes.transport_state, AV_TRANSPORT_PAUSED_PLAYBACK);
    EXPECT_EQ(changes.play_mode, PLAY_MODE_REPEAT_ALL);
    EXPECT_EQ(changes.track_duration, "0:03:25");
    EXPECT_EQ(changes.track, (TrackInfo{"Song & Dance", "Ann Artist", "First Album", "Carl Composer"}));
}

TEST(LastChangeTest, WhatAnEventDoesNotNameStaysAsItWas)
{
    struct Case {
        const char* name;
        std::string document;
        bool state, mode, duration, track;
    };
    const Case cases[] = {
        {"another instance", LastChange(1, {{"TransportState", "PLAYING"}, {"CurrentPlayMode", "SHUFFLE"}}),
         false, false, false, false},
        {"an unknown state word ends the event",
         LastChange(0, {{"TransportState", "DANCING"}, {"CurrentPlayMode", "SHUFFLE"}}), true, false, false, false},
        {"only the play mode", LastChange(0, {{"CurrentPlayMode", "SHUFFLE"}}), false, true, false, false},
        {"not implemented values", LastChange(0, {{"CurrentTrackDuration", "NOT_IMPLEMENTED"},
                                                  {"CurrentTrackMetaData", "NOT_IMPLEMENTED"}}),
         false, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RendererChanges changes;
        ASSERT_EQ(ParseLastChange(c.document, 0, changes), S_OK);
        EXPECT_EQ(changes.transport_state.has_value(), c.state);
        EXPECT_EQ(changes.play_mode.has_value(), c.mode);
        EXPECT_EQ(changes.track_duration.has_value(), c.duration);
        EXPECT_EQ(changes.track.has_value(), c.track);
        if (c.track) {
            EXPECT_EQ(*changes.track, TrackInfo{});
        }
        if (c.duration) {
            EXPECT_EQ(*changes.track_duration, "");
        }
    }
    RendererChanges unknown;
    ASSERT_EQ(ParseLastChange(LastChange(0, {{"TransportState", "DANCING"}}), 0, unknown), S_OK);
    EXPECT_EQ(unknown.transport_state, AV_TRANSPORT_UNKNOWN);
}

TEST(LastChangeTest, HostileDocumentsChangeNothingOrAreCutDown)
{
    RendererChanges changes;
    // Too large: dropped whole, however well-formed.
    const std::string padding(kMaxLastChangeBytes, ' ');
    EXPECT_EQ(ParseLastChange(LastChange(0, {{"TransportState", "PLAYING"}}) + padding, 0, changes), E_INVALIDARG);
    EXPECT_FALSE(changes.transport_state);
    // Nested beyond what the XML layer takes.
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<a>";
    for (int i = 0; i < 10000; ++i)
        deep += "</a>";
    EXPECT_EQ(ParseLastChange(deep, 0, changes), E_INVALIDARG);
    // Entities that would expand.
    const std::string bomb = "<!DOCTYPE Event [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>" +
                             LastChange(0, {{"TransportState", "PLAYING"}});
    EXPECT_EQ(ParseLastChange(bomb, 0, changes), E_INVALIDARG);
    EXPECT_EQ(ParseLastChange("not xml", 0, changes), E_INVALIDARG);

    // A long title with line breaks is shown cut and on one line; the other fields still count.
    const std::string long_title = "Line one\nLine two\t" + std::string(5000, 'x');
    ASSERT_EQ(ParseLastChange(LastChange(0, {{"CurrentTrackMetaData", Didl(long_title)}}), 0, changes), S_OK);
    ASSERT_TRUE(changes.track);
    EXPECT_EQ(changes.track->title.size(), kMaxShownTextBytes);
    EXPECT_TRUE(changes.track->title.starts_with("Line one Line two "));
    EXPECT_EQ(changes.track->artist, "Ann Artist");

    // Track metadata too large for its bound is taken as none.
    const std::string big_didl = Didl("Title", "<upnp:genre>" + std::string(kMaxTrackMetaDataBytes, 'g') + "</upnp:genre>");
    EXPECT_EQ(ParseTrackMetaData(big_didl), TrackInfo{});
    EXPECT_EQ(ParseTrackMetaData("<DIDL-Lite"), TrackInfo{});
    // Text cut in the middle of a character keeps valid UTF-8.
    const std::string umlauts(400, '\xC3');
    EXPECT_LE(ShownText(umlauts).size(), kMaxShownTextBytes);
}

TEST(LastChangeTest, VolumeComesFromTheMasterChannelWithinItsRange)
{
    struct Case {
        const char* channel;
        const char* value;
        std::optional<std::uint32_t> volume;
    };
    const Case cases[] = {
        {"Master", "35", 35u}, {"Master", "100", 100u}, {"Master", "101", std::nullopt},
        {"Master", "-1", std::nullopt}, {"Master", "3x", std::nullopt}, {"LF", "20", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.channel) + " " + c.value);
        const std::string event = std::string("<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/RCS/\">"
                                              "<InstanceID val=\"0\"><Volume channel=\"") +
                                  c.channel + "\" val=\"" + c.value + "\"/></InstanceID></Event>";
        RendererChanges changes;
        ASSERT_EQ(ParseVolumeChange(event, 0, changes), S_OK);
        EXPECT_EQ(changes.volume, c.volume);
    }
}

TEST(AssociationClassesTest, OnlyAMakerNameThatNamesOneKeyGivesAMakerClass)
{
    struct Case {
        std::string manufacturer;
        std::vector<std::string> classes;
    };
    const Case cases[] = {
        {"Velk", {"MediaRenderer", "MediaRenderer\\Velk"}},
        {"Sonata Audio", {"MediaRenderer", "MediaRenderer\\Sonata Audio"}},
        {"", {"MediaRenderer"}},
        {"Velk\\..\\Other", {"MediaRenderer"}},
        {"Velk\nEvil", {"MediaRenderer"}},
        {std::string(300, 'm'), {"MediaRenderer"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manufacturer);
        EXPECT_EQ(AssociationClasses(c.manufacturer), c.classes);
    }
}

// A renderer in a state, as any handler may be given one.
std::shared_ptr<IMediaRenderer> StateRenderer(tagAVTransportState state)
{
    return std::make_shared<testing::RendererItem>(testing::DeviceWithUdn("uuid:state"), state);
}

std::vector<std::string> Verbs(const std::vector<std::shared_ptr<IMediaRenderer>>& items, unsigned flags,
                               unsigned* default_offset = nullptr)
{
    CMediaRendererContextMenu handler;
    EXPECT_EQ(handler.Initialize(std::make_shared<CPidlDataObject>(items)), S_OK);
    ContextMenu menu;
    EXPECT_GE(handler.QueryContextMenu(menu, 0, 10, 109, flags), 0);
    std::vector<std::string> verbs;
    for (const auto& item : menu.items) {
        std::string verb = "-";
        if (!item.separator) {
            EXPECT_EQ(handler.GetCommandString(item.command_id - 10, GCS_VERB, verb), S_OK);
        }
        verbs.push_back(verb);
    }
    if (default_offset)
        *default_offset = menu.default_command ? menu.default_command - 10 : 99;
    return verbs;
}

using VerbsTest = RegistryFixture;

TEST_F(VerbsTest, TheVerbsShownFollowTheTransportState)
{
    using V = std::vector<std::string>;
    struct Case {
        tagAVTransportState state;
        V verbs;
    };
    const Case cases[] = {
        {AV_TRANSPORT_STOPPED, V{"open", "-", "play", "runas", "nexttrk", "prevtrk", "-"}},
        {AV_TRANSPORT_PLAYING, V{"open", "-", "runas", "pause", "stop", "-", "nexttrk", "prevtrk", "-"}},
        {AV_TRANSPORT_TRANSITIONING, V{"open", "-", "runas", "pause", "stop", "-", "nexttrk", "prevtrk", "-"}},
        {AV_TRANSPORT_PAUSED_PLAYBACK, V{"open", "-", "play", "runas", "nexttrk", "prevtrk", "-"}},
        {AV_TRANSPORT_NO_MEDIA_PRESENT, V{"open", "-", "runas"}},
        {AV_TRANSPORT_UNKNOWN, V{"open", "-", "runas"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TransportStateText(c.state));
        EXPECT_EQ(Verbs({StateRenderer(c.state)}, CMF_NORMAL), c.verbs);
    }
    const auto one = StateRenderer(AV_TRANSPORT_PLAYING);
    EXPECT_EQ(Verbs({one, one}, CMF_NORMAL), V{}) << "two selected items get no verbs";
    EXPECT_EQ(Verbs({}, CMF_NORMAL), V{});
    EXPECT_EQ(Verbs({one}, CMF_DEFAULTONLY), V{"open"});
}

TEST_F(VerbsTest, OpenIsTheDefaultOnlyWhenDoubleClickOpensTheWebPage)
{
    const auto item = StateRenderer(AV_TRANSPORT_STOPPED);
    unsigned default_offset = 0;
    Verbs({item}, CMF_NORMAL, &default_offset);
    EXPECT_EQ(default_offset, 99u);
    ASSERT_EQ(SetDoubleClickOpensWebPage(true), S_OK);
    Verbs({item}, CMF_NORMAL, &default_offset);
    EXPECT_EQ(default_offset, 0u);
    ASSERT_EQ(SetDoubleClickOpensWebPage(false), S_OK);
    Verbs({item}, CMF_NORMAL, &default_offset);
    EXPECT_EQ(default_offset, 99u);

    CMediaRendererContextMenu handler;
    std::string text;
    EXPECT_EQ(handler.GetCommandString(2, GCS_HELPTEXT, text), S_OK);
    EXPECT_EQ(text, "Configure device as administrator");
    EXPECT_EQ(handler.GetCommandString(7, GCS_VERB, text), E_INVALIDARG);
}

using RegistrationTest = RegistryFixture;

TEST_F(RegistrationTest, RegserverMakesTheCommonPagesAHandlerOfEveryRendererAndUnregserverTakesThemBack)
{
    const std::string program = (ProgramFolder() / "renderfold").string();
    // Another module's pages for one maker stay through both.
    RegKey other;
    ASSERT_EQ(other.Create(Hive::ClassesRoot, "MediaRenderer\\Velk\\shellex\\PropertySheetHandlers\\"
                                              "{11111111-2222-3333-4444-555555555555}"), S_OK);
    other.Close();

    const auto registered = RunProgram({program, "--regserver"});
    ASSERT_EQ(registered.status, 0) << registered.output;
    std::vector<Guid> classes;
    ASSERT_EQ(ShellHandlerClasses("MediaRenderer", kPropertySheetHandlers, classes), S_OK);
    EXPECT_EQ(classes, std::vector<Guid>{CLSID_MediaRendererPropertySheetExt});
    std::shared_ptr<IShellPropSheetExt> pages;
    EXPECT_EQ(ClassRegistry::CreateInstance(CLSID_MediaRendererPropertySheetExt, pages), S_OK);
    RegKey renderers;
    ASSERT_EQ(renderers.Open(Hive::ClassesRoot, "MediaRenderer"), S_OK);
    std::string tile_info;
    EXPECT_EQ(renderers.QueryStringValue("TileInfo", tile_info), S_OK);
    EXPECT_EQ(tile_info, "prop:MediaRenderer.ModelName;*MediaRenderer.CurrentTrackName");
    std::string name;
    RegKey handler;
    ASSERT_EQ(handler.Open(Hive::ClassesRoot, "MediaRenderer\\shellex\\PropertySheetHandlers\\" +
                                                  CLSID_MediaRendererPropertySheetExt.ToString()), S_OK);
    EXPECT_EQ(handler.QueryStringValue("", name), S_OK);
    EXPECT_EQ(name, "Common Property Pages");

    const auto unregistered = RunProgram({program, "--unregserver"});
    ASSERT_EQ(unregistered.status, 0) << unregistered.output;
    EXPECT_EQ(ShellHandlerClasses("MediaRenderer", kPropertySheetHandlers, classes), S_FALSE);
    EXPECT_EQ(ClassRegistry::CreateInstance(CLSID_MediaRendererPropertySheetExt, pages), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(other.Open(Hive::ClassesRoot, "MediaRenderer\\Velk\\shellex\\PropertySheetHandlers\\"
                                            "{11111111-2222-3333-4444-555555555555}"), S_OK);
    ASSERT_EQ(renderers.Open(Hive::ClassesRoot, "MediaRenderer"), S_OK);
    EXPECT_NE(renderers.QueryStringValue("TileInfo", tile_info), S_OK);

    EXPECT_EQ(RunProgram({program, "--bogus"}).status, 2);
}

} // namespace
} // namespace velk

namespace velk {
namespace {

// This program exports the module entry points itself (the library is also the common pages'
// module): a module registered from here must still be registered under its own path.
TEST_F(RegistrationTest, AModuleRegisteredFromAProgramWithTheLibraryNamesItsOwnPath)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_SAMPLE_MODULE), S_OK);
    RegKey server;
    ASSERT_EQ(server.Open(Hive::ClassesRoot, "CLSID\\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\\InprocServer32"), S_OK);
    std::string path;
    ASSERT_EQ(server.QueryStringValue("", path), S_OK);
    EXPECT_EQ(path, VELK_SAMPLE_MODULE);
}

} // namespace
} // namespace velk
