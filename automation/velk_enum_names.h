// The member names of the type library's enumerations (velk/velk_enums.h), registered with the
// global enumeration registry when a program that includes this header is loaded, so that a
// script may write `CK_EXIT` or `SketchText` where a number is expected. Programs that evaluate
// scripts include it; the registry itself is created on first use, so the order in which
// static objects are initialised does not matter.
#pragma once

#include <cstdint>

#include "automation/enum_registry.h"
#include "velk/velk_enums.h"

namespace velk {

// The name is spelt once, as the enumerator: the registered text and value cannot drift from it.
// clang-format off
#define VELK_ENUM_NAME(type, member) {#member, static_cast<std::int32_t>(type::member)}
// clang-format on

// One registration per enumeration; hr() of each is S_OK unless one of its names was taken
// before by another enumeration or with another value (the earlier registration stands).
inline const EnumRegistration kVelkEnumNames[] = {
    {"VelkRemoteKeys",
     {
         VELK_ENUM_NAME(VelkRemoteKeys, CK_NORTH),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SOUTH),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_WEST),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_EAST),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PLAY),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PAUSE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PLAYPAUSE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_STOP),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_NEXT),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PREVIOUS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_MENU),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_INFO),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_EXIT),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_POWER),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_POWER_ON),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_POWER_OFF),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SEARCH),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_ADD),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SHUFFLE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_REPEAT),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_VOLUME_UP),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_VOLUME_DOWN),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BRIGHTNESS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_ROTARY_CLOCKWISE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_ROTARY_COUNTERCLOCKWISE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_ROTARY_SWITCH),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SNOOZE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SOURCE),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SCAN_UP),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SCAN_DOWN),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_GROUP),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_ALARM),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PLAYLISTS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BROWSE_ARTISTS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BROWSE_ALBUMS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BROWSE_SONGS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BROWSE_GENRES),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_BROWSE_COMPOSERS),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A1),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A2),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A3),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A4),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A5),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_A6),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B1),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B2),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B3),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B4),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B5),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_B6),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C1),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C2),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C3),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C4),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C5),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_PRESET_C6),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_INTERNET_RADIO),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_FM_RADIO),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_AM_RADIO),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_LAST_MUSIC_SERVER),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_VOLUME_50),
         VELK_ENUM_NAME(VelkRemoteKeys, CK_SELECT),
     }},
    {"SketchVerbs",
     {
         VELK_ENUM_NAME(SketchVerbs, SketchRect),
         VELK_ENUM_NAME(SketchVerbs, SketchFrameRect),
         VELK_ENUM_NAME(SketchVerbs, SketchPoint),
         VELK_ENUM_NAME(SketchVerbs, SketchLine),
         VELK_ENUM_NAME(SketchVerbs, SketchBlit),
         VELK_ENUM_NAME(SketchVerbs, SketchSlide),
         VELK_ENUM_NAME(SketchVerbs, SketchFont),
         VELK_ENUM_NAME(SketchVerbs, SketchColor),
         VELK_ENUM_NAME(SketchVerbs, SketchText),
         VELK_ENUM_NAME(SketchVerbs, SketchMarquee),
         VELK_ENUM_NAME(SketchVerbs, SketchClear),
         VELK_ENUM_NAME(SketchVerbs, SketchQuit),
     }},
    {"AudioToneFrequencies",
     {
         VELK_ENUM_NAME(AudioToneFrequencies, ATF48kHz),
         VELK_ENUM_NAME(AudioToneFrequencies, ATF44_1kHz),
         VELK_ENUM_NAME(AudioToneFrequencies, ATF32kHz),
         VELK_ENUM_NAME(AudioToneFrequencies, ATF24kHz),
         VELK_ENUM_NAME(AudioToneFrequencies, ATF22_05kHz),
     }},
    {"RCPTransportStates",
     {
         VELK_ENUM_NAME(RCPTransportStates, TransportStatePause),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateNext),
         VELK_ENUM_NAME(RCPTransportStates, TransportStatePrevious),
         VELK_ENUM_NAME(RCPTransportStates, TransportStatePlay),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateStop),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateBuffering),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateResuming),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateError),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateStandby),
         VELK_ENUM_NAME(RCPTransportStates, TransportStateDisconnected),
     }},
    {"RCPRepeatStates",
     {
         VELK_ENUM_NAME(RCPRepeatStates, RepeatNone),
         VELK_ENUM_NAME(RCPRepeatStates, RepeatOne),
         VELK_ENUM_NAME(RCPRepeatStates, RepeatAll),
         VELK_ENUM_NAME(RCPRepeatStates, RepeatCycle),
     }},
    {"RCPVisualizerMode",
     {
         VELK_ENUM_NAME(RCPVisualizerMode, VisualizerModeOff),
         VELK_ENUM_NAME(RCPVisualizerMode, VisualizerModePartial),
         VELK_ENUM_NAME(RCPVisualizerMode, VisualizerModeFull),
     }},
    {"RCPServerType",
     {
         VELK_ENUM_NAME(RCPServerType, ServerTypeDAAP),
         VELK_ENUM_NAME(RCPServerType, ServerTypeUPnP),
         VELK_ENUM_NAME(RCPServerType, ServerTypeSlim),
         VELK_ENUM_NAME(RCPServerType, ServerTypeRadio),
         VELK_ENUM_NAME(RCPServerType, ServerTypeFlash),
         VELK_ENUM_NAME(RCPServerType, ServerTypeRSP),
         VELK_ENUM_NAME(RCPServerType, ServerTypeAll),
         VELK_ENUM_NAME(RCPServerType, ServerTypeAM),
         VELK_ENUM_NAME(RCPServerType, ServerTypeFM),
     }},
    {"RCPSongSortOrder",
     {
         VELK_ENUM_NAME(RCPSongSortOrder, SongSortOrderUnordered),
         VELK_ENUM_NAME(RCPSongSortOrder, SongSortOrderAlpha),
         VELK_ENUM_NAME(RCPSongSortOrder, SongSortOrderAAlbumTrack),
     }},
    {"RCPEventType",
     {
         VELK_ENUM_NAME(RCPEventType, EventTypeDisplay),
         VELK_ENUM_NAME(RCPEventType, EventTypeIR),
         VELK_ENUM_NAME(RCPEventType, EventTypeTransportState),
         VELK_ENUM_NAME(RCPEventType, EventTypePlayMode),
         VELK_ENUM_NAME(RCPEventType, EventTypeTrackDetails),
         VELK_ENUM_NAME(RCPEventType, EventTypeUpgrade),
     }},
    {"RCPUpgradeState",
     {
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateCheckingUpgradeAvailability),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateVerifyingMD5),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateErasingFlash),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateBurningFlash),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateVerifyingFlash),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateSavingAdditionalData),
         VELK_ENUM_NAME(RCPUpgradeState, UpgradeStateDownloadingUpgrade),
     }},
    {"RCPPresetType",
     {
         VELK_ENUM_NAME(RCPPresetType, PresetTypeAMTuner),
         VELK_ENUM_NAME(RCPPresetType, PresetTypeFavoriteRadio),
         VELK_ENUM_NAME(RCPPresetType, PresetTypeFMTuner),
         VELK_ENUM_NAME(RCPPresetType, PresetTypeInternetPreset),
         VELK_ENUM_NAME(RCPPresetType, PresetTypePlaylistPreset),
         VELK_ENUM_NAME(RCPPresetType, PresetTypeQueryPreset),
     }},
    {"RCPSignalQuality",
     {
         VELK_ENUM_NAME(RCPSignalQuality, SignalQualityQuality),
         VELK_ENUM_NAME(RCPSignalQuality, SignalQualityNoise),
         VELK_ENUM_NAME(RCPSignalQuality, SignalQualitySignal),
     }},
    {"HostStatus",
     {
         VELK_ENUM_NAME(HostStatus, HostStatusInitializing),
         VELK_ENUM_NAME(HostStatus, HostStatusTerminating),
         VELK_ENUM_NAME(HostStatus, HostStatusAcceptingRequests),
     }},
    {"EventTypes",
     {
         VELK_ENUM_NAME(EventTypes, EventLogSuccess),
         VELK_ENUM_NAME(EventTypes, EventLogError),
         VELK_ENUM_NAME(EventTypes, EventLogWarning),
         VELK_ENUM_NAME(EventTypes, EventLogInformation),
     }},
    {"EventCategories",
     {
         VELK_ENUM_NAME(EventCategories, Service),
         VELK_ENUM_NAME(EventCategories, Object),
         VELK_ENUM_NAME(EventCategories, Device),
         VELK_ENUM_NAME(EventCategories, RCP),
     }},
    {"ServiceName",
     {
         VELK_ENUM_NAME(ServiceName, ServiceNameUPnP),
         VELK_ENUM_NAME(ServiceName, ServiceNameUPnPRelease),
     }},
};

#undef VELK_ENUM_NAME

} // namespace velk
