// The enumerations of the VelkLib type library, with the values scripts, providers and the
// service agree on. The values are fixed: they travel in automation calls, events and saved
// settings, so a member is never renumbered. Member names are registered for scripts in
// automation/velk_enum_names.h.
#pragma once

#include <cstdint>

namespace velk {

// Tag VelkRemoteKeys: the player's remote-control keys; a code is the key's position, and the
// member name is also the key's word on the wire ("IrDemod", "IrDispatchCommand").
enum class VelkRemoteKeys : std::int32_t {
    CK_NORTH = 0,
    CK_SOUTH = 1,
    CK_WEST = 2,
    CK_EAST = 3,
    CK_PLAY = 4,
    CK_PAUSE = 5,
    CK_PLAYPAUSE = 6,
    CK_STOP = 7,
    CK_NEXT = 8,
    CK_PREVIOUS = 9,
    CK_MENU = 10,
    CK_INFO = 11,
    CK_EXIT = 12,
    CK_POWER = 13,
    CK_POWER_ON = 14,
    CK_POWER_OFF = 15,
    CK_SEARCH = 16,
    CK_ADD = 17,
    CK_SHUFFLE = 18,
    CK_REPEAT = 19,
    CK_VOLUME_UP = 20,
    CK_VOLUME_DOWN = 21,
    CK_BRIGHTNESS = 22,
    CK_ROTARY_CLOCKWISE = 23,
    CK_ROTARY_COUNTERCLOCKWISE = 24,
    CK_ROTARY_SWITCH = 25,
    CK_SNOOZE = 26,
    CK_SOURCE = 27,
    CK_SCAN_UP = 28,
    CK_SCAN_DOWN = 29,
    CK_GROUP = 30,
    CK_ALARM = 31,
    CK_PLAYLISTS = 32,
    CK_BROWSE_ARTISTS = 33,
    CK_BROWSE_ALBUMS = 34,
    CK_BROWSE_SONGS = 35,
    CK_BROWSE_GENRES = 36,
    CK_BROWSE_COMPOSERS = 37,
    CK_PRESET_A1 = 38,
    CK_PRESET_A2 = 39,
    CK_PRESET_A3 = 40,
    CK_PRESET_A4 = 41,
    CK_PRESET_A5 = 42,
    CK_PRESET_A6 = 43,
    CK_PRESET_B1 = 44,
    CK_PRESET_B2 = 45,
    CK_PRESET_B3 = 46,
    CK_PRESET_B4 = 47,
    CK_PRESET_B5 = 48,
    CK_PRESET_B6 = 49,
    CK_PRESET_C1 = 50,
    CK_PRESET_C2 = 51,
    CK_PRESET_C3 = 52,
    CK_PRESET_C4 = 53,
    CK_PRESET_C5 = 54,
    CK_PRESET_C6 = 55,
    CK_INTERNET_RADIO = 56,
    CK_FM_RADIO = 57,
    CK_AM_RADIO = 58,
    CK_LAST_MUSIC_SERVER = 59,
    CK_VOLUME_50 = 60,
    CK_SELECT = 61,
};

// Tag VelkSketchVerbs: the drawing operations of IVelkDevice::Sketch.
enum class SketchVerbs : std::int32_t {
    SketchRect = 0,
    SketchFrameRect = 1,
    SketchPoint = 2,
    SketchLine = 3,
    SketchBlit = 4,
    SketchSlide = 5,
    SketchFont = 6,
    SketchColor = 7,
    SketchText = 8,
    SketchMarquee = 9,
    SketchClear = 10,
    SketchQuit = 11,
};

// Tag VelkAudioToneFrequencies: the sample rates of IVelkDevice::AudioTone, which refuses
// ATF24kHz with E_UNEXPECTED and sends nothing.
enum class AudioToneFrequencies : std::int32_t {
    ATF48kHz = 0,
    ATF44_1kHz = 1,
    ATF32kHz = 2,
    ATF24kHz = 3,
    ATF22_05kHz = 4,
};

// RCPTransportStates: the player's play state as an RCP session reports it.
enum class RCPTransportStates : std::int32_t {
    TransportStatePause = 0,
    TransportStateNext = 1,
    TransportStatePrevious = 2,
    TransportStatePlay = 3,
    TransportStateStop = 4,
    TransportStateBuffering = 5,
    TransportStateResuming = 6,
    TransportStateError = 7,
    TransportStateStandby = 8,
    TransportStateDisconnected = 9,
};

// RCPRepeatStates: the session's and a preset's repeat mode; numbering starts at 1.
enum class RCPRepeatStates : std::int32_t {
    RepeatNone = 1,
    RepeatOne = 2,
    RepeatAll = 3,
    RepeatCycle = 4,
};

// RCPVisualizerMode: how much of the display the visualizer takes.
enum class RCPVisualizerMode : std::int32_t {
    VisualizerModeOff = 0,
    VisualizerModePartial = 1,
    VisualizerModeFull = 2,
};

// RCPServerType: bits, one per kind of music server; a server filter combines them.
enum class RCPServerType : std::int32_t {
    ServerTypeDAAP = 1,
    ServerTypeUPnP = 2,
    ServerTypeSlim = 4,
    ServerTypeRadio = 8,
    ServerTypeFlash = 16,
    ServerTypeRSP = 32,
    ServerTypeAll = 64,
    ServerTypeAM = 128,
    ServerTypeFM = 256,
};

// RCPSongSortOrder: the order of song lists.
enum class RCPSongSortOrder : std::int32_t {
    SongSortOrderUnordered = 0,
    SongSortOrderAlpha = 1,
    SongSortOrderAAlbumTrack = 2,
};

// RCPEventType: the kinds of unsolicited event an RCP session receives from the player.
enum class RCPEventType : std::int32_t {
    EventTypeDisplay = 0,
    EventTypeIR = 1,
    EventTypeTransportState = 2,
    EventTypePlayMode = 3,
    EventTypeTrackDetails = 4,
    EventTypeUpgrade = 5,
};

// RCPUpgradeState: the steps of a firmware upgrade, reported by OnUpgradeFirmware.
enum class RCPUpgradeState : std::int32_t {
    UpgradeStateCheckingUpgradeAvailability = 0,
    UpgradeStateVerifyingMD5 = 1,
    UpgradeStateErasingFlash = 2,
    UpgradeStateBurningFlash = 3,
    UpgradeStateVerifyingFlash = 4,
    UpgradeStateSavingAdditionalData = 5,
    UpgradeStateDownloadingUpgrade = 6,
};

// RCPPresetType: what a player preset plays.
enum class RCPPresetType : std::int32_t {
    PresetTypeAMTuner = 0,
    PresetTypeFavoriteRadio = 1,
    PresetTypeFMTuner = 2,
    PresetTypeInternetPreset = 3,
    PresetTypePlaylistPreset = 4,
    PresetTypeQueryPreset = 5,
};

// The attribute IRCPNetwork::SignalQuality reads from the player's Wi-Fi report.
enum class RCPSignalQuality : std::int32_t {
    SignalQualityQuality = 0,
    SignalQualityNoise = 1,
    SignalQualitySignal = 2,
};

// Tag VelkHostStatus: a provider host's life, from creation through loading to termination.
enum class HostStatus : std::int32_t {
    HostStatusInitializing = 0,
    HostStatusTerminating = 1,
    HostStatusAcceptingRequests = 2,
};

// Tag VelkEventTypes: the severity of a record the service writes to the event log.
enum class EventTypes : std::int32_t {
    EventLogSuccess = 0,
    EventLogError = 1,
    EventLogWarning = 2,
    EventLogInformation = 3,
};

// Tag VelkEventCategories: the part of the system an event-log record comes from; numbering
// starts at 1.
enum class EventCategories : std::int32_t {
    Service = 1,
    Object = 2,
    Device = 3,
    RCP = 4,
};

// Tag VelkServiceName: the background services IVelkDataService::ControlService switches.
enum class ServiceName : std::int32_t {
    ServiceNameUPnP = 0,
    ServiceNameUPnPRelease = 1,
};

} // namespace velk
