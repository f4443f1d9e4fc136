#include "automation/velk_enum_names.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

#include <gtest/gtest.h>

namespace velk {
namespace {

// The values scripts and saved settings rely on, a few per enumeration, chosen at the ends of
// each and where the numbering jumps.
TEST(VelkEnums, ScriptsFindTheFixedValuesByName)
{
    struct Case {
        const char* name;
        std::int32_t value;
    };
    const Case cases[] = {
        {"CK_NORTH", 0},
        {"CK_EXIT", 12},
        {"CK_POWER_OFF", 15},
        {"CK_BROWSE_COMPOSERS", 37},
        {"CK_PRESET_A1", 38},
        {"CK_PRESET_B1", 44},
        {"CK_PRESET_C6", 55},
        {"CK_INTERNET_RADIO", 56},
        {"CK_SELECT", 61},
        {"SketchRect", 0},
        {"SketchText", 8},
        {"SketchQuit", 11},
        {"ATF48kHz", 0},
        {"ATF44_1kHz", 1},
        {"ATF22_05kHz", 4},
        {"TransportStatePause", 0},
        {"TransportStatePlay", 3},
        {"TransportStateDisconnected", 9},
        {"RepeatNone", 1},
        {"RepeatCycle", 4},
        {"VisualizerModeOff", 0},
        {"VisualizerModeFull", 2},
        {"ServerTypeDAAP", 1},
        {"ServerTypeAll", 64},
        {"ServerTypeFM", 256},
        {"SongSortOrderUnordered", 0},
        {"SongSortOrderAAlbumTrack", 2},
        {"EventTypeDisplay", 0},
        {"EventTypeUpgrade", 5},
        {"UpgradeStateCheckingUpgradeAvailability", 0},
        {"UpgradeStateDownloadingUpgrade", 6},
        {"PresetTypeAMTuner", 0},
        {"PresetTypeQueryPreset", 5},
        {"SignalQualityQuality", 0},
        {"SignalQualitySignal", 2},
        {"HostStatusInitializing", 0},
        {"HostStatusAcceptingRequests", 2},
        {"EventLogSuccess", 0},
        {"EventLogInformation", 3},
        {"Service", 1},
        {"RCP", 4},
        {"ServiceNameUPnP", 0},
        {"ServiceNameUPnPRelease", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EnumRegistry::Global().Find(c.name), c.value);
    }
}

// The registry keeps the first of two equal names, so a clash would silently give a script the
// other enumeration's value.
TEST(VelkEnums, NoNameIsSharedBetweenEnumerations)
{
    for (std::size_t i = 0; i < std::size(kVelkEnumNames); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kVelkEnumNames[i].hr(), S_OK);
    }
}

} // namespace
} // namespace velk
