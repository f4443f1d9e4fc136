// One simulated player: its identity, power and transport state, volume, play queue, the music
// server it is connected to, settings, presets, display and remote keys. Sessions (shell, RCP),
// the UPnP device and the control socket all act on it; it tells them what changed through its
// listener lists. Lives on the loop thread; owned by the Simulator.
#pragma once

#include <chrono>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/display.h"
#include "tools/sim/event_loop.h"
#include "tools/sim/listeners.h"
#include "tools/sim/music_library.h"
#include "tools/sim/player_settings.h"
#include "tools/sim/presets.h"

namespace velk::sim {

struct PlayerIdentity {
    std::string address;  // dotted quad of the player's own loopback address
    std::string name;     // friendly name at start
    std::string model;    // "KD-40", ...
    std::string firmware; // "3.1.2"
    std::string udn;      // "uuid:..."
    std::string mac;      // "00:0D:4B:.."
    DisplayModel display;
};

enum class Transport { Stop, Play, Pause };
enum class RepeatMode { None, One, All };

struct QueueEntry {
    int server = 0;
    int song = 0;
    bool operator==(const QueueEntry&) const = default;
};

// Misbehaviour scripted through the control socket.
struct PlayerFaults {
    bool silent = false;      // read commands, answer nothing, greet no one
    int reply_delay_ms = 0;   // every answer leaves this much later
    bool disabled = false;    // the shell greets "Disabled" and hangs up
    bool upnp_hidden = false; // the UPnP device has said goodbye
};

class Player {
public:
    static constexpr int kMaxVolume = 100;
    static constexpr std::size_t kReceivedLinesKept = 500;

    Player(EventLoop& loop, PlayerIdentity identity, const MusicLibrary& library,
           std::string upgrade_version);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    EventLoop& loop() { return loop_; }
    const PlayerIdentity& identity() const { return identity_; }
    const std::string& firmware() const { return firmware_; }
    const MusicLibrary& library() const { return library_; }
    PlayerSettings& settings() { return settings_; }
    const PlayerSettings& settings() const { return settings_; }
    Display& display() { return display_; }
    const Display& display() const { return display_; }
    const std::vector<Preset>& presets() const { return presets_; }
    PlayerFaults& faults() { return faults_; }

    // Power.
    bool standby() const { return standby_; }
    void SetStandby(bool standby);

    // Transport. Play powers the player on; with nothing queued it stays stopped.
    Transport transport() const { return transport_; }
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    std::chrono::milliseconds Elapsed() const;
    int volume() const { return volume_; }
    void SetVolume(int volume);
    bool muted() const { return muted_; }
    void SetMute(bool muted);
    bool shuffle() const { return shuffle_; }
    void SetShuffle(bool on);
    RepeatMode repeat() const { return repeat_; }
    void SetRepeat(RepeatMode mode);

    // The play queue.
    const std::vector<QueueEntry>& queue() const { return queue_; }
    int current_index() const { return current_; }
    const Song* CurrentSong() const;
    const Song* SongOf(const QueueEntry& entry) const;
    // Replaces the queue and plays entry `start`.
    void QueueAndPlay(std::vector<QueueEntry> entries, int start);
    // false when the position is past the end.
    bool Insert(QueueEntry entry, int position);
    bool RemoveAt(int index);
    void ClearQueue();
    bool PlayIndex(int index);

    // The music server.
    std::optional<int> connected_server() const { return connected_server_; }
    const MusicServer* ConnectedServer() const;
    // Connecting to another server empties the queue.
    void ConnectServer(int server);
    void DisconnectServer();
    // The browse position among the connected server's containers (0: the root).
    int container() const { return container_; }
    void set_container(int container) { container_ = container; }

    bool PlayPreset(int index);

    // A key pressed on the remote: subscribers get it, or, with none, the player acts on it.
    void PressRemoteKey(int code);
    // The player acts on the key ("irman dispatch", "IrDispatchCommand").
    void DispatchKey(int code);

    // The shell's sound and demo commands.
    void PlayTone(std::string description);
    void PlayUrl(std::string url);
    void StopSound();
    void Attract();

    // The player's clock: the host's local time plus what SetDate / SetTime moved it by.
    std::tm LocalTime() const;
    bool SetDate(int month, int day, int year);
    bool SetTime(int hours, int minutes, int seconds);

    // Firmware upgrade: the version on offer (empty: none), and the reboot it waits for.
    const std::string& upgrade_version() const { return upgrade_version_; }
    bool awaiting_reboot() const { return awaiting_reboot_; }
    void UpgradeInstalled();
    // Restarts: connections close (the reboot listeners), a pending upgrade takes effect.
    void Reboot();
    void ResetToFactoryDefaults();

    // The display: call after drawing on it; the player repaints its own screen when no sketch
    // owns it and tells the display listeners (at most every kDisplayEventMs).
    void DisplayChanged();

    void RecordReceived(int connection, std::string_view line);
    const std::deque<std::string>& received() const { return received_; }

    Listeners<std::string_view>& key_listeners() { return key_listeners_; }
    Listeners<>& display_listeners() { return display_listeners_; }
    // Transport state, play mode, current track or volume changed.
    Listeners<>& state_listeners() { return state_listeners_; }
    Listeners<>& reboot_listeners() { return reboot_listeners_; }

private:
    static constexpr int kDisplayEventMs = 40;
    static constexpr int kMarqueeStepMs = 30;
    static constexpr int kMessageMs = 2000;

    void SetTransport(Transport transport);
    void StartCurrent();
    void AdvanceAtTrackEnd();
    int NextIndex() const;
    void ShowMessage(std::string text);
    void Repaint();
    void ScheduleTick();
    void ScheduleAnimation();
    void StateChanged();

    EventLoop& loop_;
    PlayerIdentity identity_;
    const MusicLibrary& library_;
    std::string firmware_;
    std::string upgrade_version_;
    bool awaiting_reboot_ = false;
    PlayerSettings settings_;
    std::vector<Preset> presets_;
    Display display_;
    PlayerFaults faults_;

    bool standby_ = false;
    Transport transport_ = Transport::Stop;
    int volume_ = 40;
    bool muted_ = false;
    bool shuffle_ = false;
    RepeatMode repeat_ = RepeatMode::None;
    std::vector<QueueEntry> queue_;
    int current_ = -1;
    std::chrono::milliseconds elapsed_base_{0};
    EventLoop::Clock::time_point play_started_;
    std::uint64_t shuffle_state_ = 0x5EED;

    std::optional<int> connected_server_;
    int last_music_server_ = 0;
    int container_ = 0;

    std::chrono::seconds clock_offset_{0};
    std::string message_;
    bool attract_ = false;
    int attract_offset_ = 0;
    std::string sound_;

    std::deque<std::string> received_;

    EventLoop::TimerId tick_timer_ = 0;
    EventLoop::TimerId animation_timer_ = 0;
    EventLoop::TimerId message_timer_ = 0;
    EventLoop::TimerId display_event_timer_ = 0;
    FrameBuffer last_published_;

    Listeners<std::string_view> key_listeners_;
    Listeners<> display_listeners_;
    Listeners<> state_listeners_;
    Listeners<> reboot_listeners_;
};

std::string_view TransportWord(Transport transport);

} // namespace velk::sim
