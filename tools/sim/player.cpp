#include "tools/sim/player.h"

#include <algorithm>
#include <cstdio>

#include "tools/sim/home_screen.h"
#include "tools/sim/remote_keys.h"

namespace velk::sim {
namespace {

constexpr int kVolumeStep = 5;
constexpr auto kRestartThreshold = std::chrono::seconds(3);
constexpr int kInitialQueueLength = 10;
constexpr int kFirstPresetKey = 38; // CK_PRESET_A1
constexpr int kPresetKeyCount = 18;

std::string TimeText(std::chrono::milliseconds elapsed)
{
    const auto seconds = elapsed.count() / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

// "CK_BROWSE_ARTISTS" -> "Browse artists": what the player flashes for a key it has no
// action for.
std::string KeyMessage(std::string_view name)
{
    std::string text(name.substr(name.find('_') + 1));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_')
            text[i] = ' ';
        else if (i > 0)
            text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    return text;
}

} // namespace

std::string_view TransportWord(Transport transport)
{
    switch (transport) {
    case Transport::Play:
        return "Play";
    case Transport::Pause:
        return "Pause";
    case Transport::Stop:
        return "Stop";
    }
    return "Stop";
}

Player::Player(EventLoop& loop, PlayerIdentity identity, const MusicLibrary& library,
               std::string upgrade_version)
    : loop_(loop), identity_(std::move(identity)), library_(library), firmware_(identity_.firmware),
      upgrade_version_(std::move(upgrade_version)), settings_(identity_.name),
      presets_(PresetCatalog::FromLibrary(library)), display_(identity_.display),
      last_published_(identity_.display.width, identity_.display.height)
{
    if (!library_.servers().empty()) {
        connected_server_ = 0;
        const int count = std::min<int>(kInitialQueueLength,
                                        static_cast<int>(library_.servers()[0].songs.size()));
        for (int song = 0; song < count; ++song)
            queue_.push_back({0, song});
        current_ = queue_.empty() ? -1 : 0;
    }
    Repaint();
    last_published_ = display_.frame();
    ScheduleTick();
}

Player::~Player()
{
    for (auto timer : {tick_timer_, animation_timer_, message_timer_, display_event_timer_})
        if (timer != 0)
            loop_.CancelTimer(timer);
}

void Player::SetStandby(bool standby)
{
    if (standby) {
        transport_ = Transport::Stop;
        elapsed_base_ = {};
        attract_ = false;
        sound_.clear();
    }
    standby_ = standby;
    StateChanged();
}

void Player::SetTransport(Transport transport)
{
    const auto now = EventLoop::Clock::now();
    if (transport_ == Transport::Play && transport != Transport::Play)
        elapsed_base_ += std::chrono::duration_cast<std::chrono::milliseconds>(now - play_started_);
    if (transport == Transport::Play && transport_ != Transport::Play)
        play_started_ = now;
    if (transport == Transport::Stop)
        elapsed_base_ = {};
    transport_ = transport;
    StateChanged();
}

void Player::StartCurrent()
{
    elapsed_base_ = {};
    play_started_ = EventLoop::Clock::now();
}

void Player::Play()
{
    standby_ = false;
    attract_ = false;
    if (queue_.empty()) {
        StateChanged();
        return;
    }
    if (current_ < 0)
        current_ = 0;
    SetTransport(Transport::Play);
}

void Player::Pause()
{
    if (transport_ == Transport::Play)
        SetTransport(Transport::Pause);
}

void Player::PlayPause()
{
    if (transport_ == Transport::Play)
        Pause();
    else
        Play();
}

void Player::Stop()
{
    sound_.clear();
    SetTransport(Transport::Stop);
}

int Player::NextIndex() const
{
    const int size = static_cast<int>(queue_.size());
    if (size == 0)
        return -1;
    if (shuffle_ && size > 1) {
        // A different entry each time, from a sequence of the player's own.
        std::uint64_t x =
            shuffle_state_ ^ static_cast<std::uint64_t>(current_ + 1) * 0x9E3779B97F4A7C15ull;
        x ^= x >> 33;
        const int step = 1 + static_cast<int>(x % static_cast<std::uint64_t>(size - 1));
        return (current_ + step) % size;
    }
    if (current_ + 1 < size)
        return current_ + 1;
    return repeat_ == RepeatMode::All ? 0 : -1;
}

void Player::Next()
{
    if (queue_.empty())
        return;
    shuffle_state_ = shuffle_state_ * 6364136223846793005ull + 1442695040888963407ull;
    const int next = NextIndex();
    if (next < 0) {
        current_ = 0;
        SetTransport(Transport::Stop);
        return;
    }
    current_ = next;
    StartCurrent();
    StateChanged();
}

void Player::Previous()
{
    if (queue_.empty())
        return;
    if (Elapsed() < kRestartThreshold) {
        if (current_ > 0)
            --current_;
        else if (repeat_ == RepeatMode::All)
            current_ = static_cast<int>(queue_.size()) - 1;
    }
    StartCurrent();
    StateChanged();
}

void Player::AdvanceAtTrackEnd()
{
    if (repeat_ == RepeatMode::One) {
        StartCurrent();
        StateChanged();
        return;
    }
    Next();
}

std::chrono::milliseconds Player::Elapsed() const
{
    auto elapsed = elapsed_base_;
    if (transport_ == Transport::Play)
        elapsed += std::chrono::duration_cast<std::chrono::milliseconds>(EventLoop::Clock::now() -
                                                                         play_started_);
    if (const Song* song = CurrentSong(); song && song->length_ms > 0)
        elapsed = std::min(elapsed, std::chrono::milliseconds(song->length_ms));
    return elapsed;
}

void Player::SetVolume(int volume)
{
    volume_ = std::clamp(volume, 0, kMaxVolume);
    StateChanged();
}

void Player::SetMute(bool muted)
{
    muted_ = muted;
    StateChanged();
}

void Player::SetShuffle(bool on)
{
    shuffle_ = on;
    StateChanged();
}

void Player::SetRepeat(RepeatMode mode)
{
    repeat_ = mode;
    StateChanged();
}

const Song* Player::SongOf(const QueueEntry& entry) const
{
    const auto& servers = library_.servers();
    if (entry.server < 0 || entry.server >= static_cast<int>(servers.size()))
        return nullptr;
    const auto& songs = servers[entry.server].songs;
    if (entry.song < 0 || entry.song >= static_cast<int>(songs.size()))
        return nullptr;
    return &songs[entry.song];
}

const Song* Player::CurrentSong() const
{
    if (current_ < 0 || current_ >= static_cast<int>(queue_.size()))
        return nullptr;
    return SongOf(queue_[current_]);
}

void Player::QueueAndPlay(std::vector<QueueEntry> entries, int start)
{
    queue_ = std::move(entries);
    current_ = queue_.empty() ? -1 : std::clamp(start, 0, static_cast<int>(queue_.size()) - 1);
    StartCurrent();
    if (queue_.empty())
        SetTransport(Transport::Stop);
    else
        Play();
}

bool Player::Insert(QueueEntry entry, int position)
{
    if (position < 0 || position > static_cast<int>(queue_.size()))
        return false;
    queue_.insert(queue_.begin() + position, entry);
    if (current_ < 0)
        current_ = 0;
    else if (position <= current_ && queue_.size() > 1)
        ++current_;
    StateChanged();
    return true;
}

bool Player::RemoveAt(int index)
{
    if (index < 0 || index >= static_cast<int>(queue_.size()))
        return false;
    queue_.erase(queue_.begin() + index);
    if (queue_.empty()) {
        current_ = -1;
        SetTransport(Transport::Stop);
        return true;
    }
    if (index < current_) {
        --current_;
    } else if (index == current_) {
        current_ = std::min(current_, static_cast<int>(queue_.size()) - 1);
        StartCurrent();
    }
    StateChanged();
    return true;
}

void Player::ClearQueue()
{
    queue_.clear();
    current_ = -1;
    SetTransport(Transport::Stop);
}

bool Player::PlayIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(queue_.size()))
        return false;
    current_ = index;
    StartCurrent();
    Play();
    return true;
}

const MusicServer* Player::ConnectedServer() const
{
    if (!connected_server_)
        return nullptr;
    return &library_.servers().at(*connected_server_);
}

void Player::ConnectServer(int server)
{
    if (connected_server_ != server) {
        queue_.clear();
        current_ = -1;
        transport_ = Transport::Stop;
        elapsed_base_ = {};
        container_ = 0;
    }
    connected_server_ = server;
    const ServerType type = library_.servers().at(server).type;
    if (type != ServerType::Radio && type != ServerType::AM && type != ServerType::FM)
        last_music_server_ = server;
    StateChanged();
}

void Player::DisconnectServer()
{
    connected_server_.reset();
    queue_.clear();
    current_ = -1;
    container_ = 0;
    SetTransport(Transport::Stop);
}

bool Player::PlayPreset(int index)
{
    if (index < 0 || index >= static_cast<int>(presets_.size()))
        return false;
    const Preset& preset = presets_[index];
    const std::vector<int> songs = preset.Songs(library_);
    if (songs.empty())
        return false;
    ConnectServer(preset.server);
    if (preset.type == PresetType::Playlist || preset.type == PresetType::Query) {
        shuffle_ = preset.shuffle;
        repeat_ = preset.repeat == "all"   ? RepeatMode::All
                  : preset.repeat == "one" ? RepeatMode::One
                                           : RepeatMode::None;
    }
    std::vector<QueueEntry> entries;
    for (const int song : songs)
        entries.push_back({preset.server, song});
    QueueAndPlay(std::move(entries), 0);
    return true;
}

void Player::PressRemoteKey(int code)
{
    const std::string_view name = RemoteKeyName(code);
    if (name.empty())
        return;
    if (!key_listeners_.empty()) {
        key_listeners_.Call(name);
        return;
    }
    DispatchKey(code);
}

void Player::DispatchKey(int code)
{
    const std::string_view name = RemoteKeyName(code);
    if (name.empty())
        return;
    // The user is working the player: whatever a client drew gives way to its own screen.
    attract_ = false;
    if (display_.sketching())
        display_.EndSketch();

    if (name == "CK_POWER") {
        SetStandby(!standby_);
    } else if (name == "CK_POWER_ON") {
        SetStandby(false);
    } else if (name == "CK_POWER_OFF") {
        SetStandby(true);
    } else if (name == "CK_PLAY") {
        Play();
    } else if (standby_) {
        // In standby only the power and play keys do anything.
        DisplayChanged();
    } else if (name == "CK_PAUSE") {
        Pause();
    } else if (name == "CK_PLAYPAUSE") {
        PlayPause();
    } else if (name == "CK_STOP") {
        Stop();
    } else if (name == "CK_NEXT") {
        Next();
    } else if (name == "CK_PREVIOUS") {
        Previous();
    } else if (name == "CK_SHUFFLE") {
        SetShuffle(!shuffle_);
        ShowMessage(shuffle_ ? "Shuffle on" : "Shuffle off");
    } else if (name == "CK_REPEAT") {
        SetRepeat(repeat_ == RepeatMode::None  ? RepeatMode::All
                  : repeat_ == RepeatMode::All ? RepeatMode::One
                                               : RepeatMode::None);
        ShowMessage(repeat_ == RepeatMode::None  ? "Repeat off"
                    : repeat_ == RepeatMode::All ? "Repeat all"
                                                 : "Repeat one");
    } else if (name == "CK_VOLUME_UP" || name == "CK_VOLUME_DOWN" || name == "CK_VOLUME_50") {
        SetVolume(name == "CK_VOLUME_50"
                      ? 50
                      : volume_ + (name == "CK_VOLUME_UP" ? kVolumeStep : -kVolumeStep));
        ShowMessage("Volume " + std::to_string(volume_));
    } else if (code >= kFirstPresetKey && code < kFirstPresetKey + kPresetKeyCount) {
        if (!PlayPreset(code - kFirstPresetKey))
            ShowMessage("No preset " +
                        std::string(name.substr(std::string_view("CK_PRESET_").size())));
    } else if (name == "CK_INTERNET_RADIO" || name == "CK_FM_RADIO" || name == "CK_AM_RADIO" ||
               name == "CK_LAST_MUSIC_SERVER") {
        const auto wanted = name == "CK_INTERNET_RADIO" ? ServerType::Radio
                            : name == "CK_FM_RADIO"     ? ServerType::FM
                                                        : ServerType::AM;
        const auto& servers = library_.servers();
        int server = last_music_server_;
        if (name != "CK_LAST_MUSIC_SERVER") {
            auto found = std::find_if(servers.begin(), servers.end(),
                                      [wanted](const MusicServer& s) { return s.type == wanted; });
            server = found == servers.end() ? -1 : static_cast<int>(found - servers.begin());
        }
        if (server >= 0 && server < static_cast<int>(servers.size())) {
            ConnectServer(server);
            ShowMessage(servers[server].name);
        }
    } else {
        ShowMessage(KeyMessage(name));
    }
}

void Player::PlayTone(std::string description)
{
    sound_ = "Tone " + std::move(description);
    StateChanged();
}

void Player::PlayUrl(std::string url)
{
    standby_ = false;
    sound_ = std::move(url);
    StateChanged();
}

void Player::StopSound()
{
    sound_.clear();
    attract_ = false;
    if (transport_ != Transport::Stop)
        SetTransport(Transport::Stop);
    else
        StateChanged();
}

void Player::Attract()
{
    attract_ = true;
    attract_offset_ = 0;
    DisplayChanged();
}

std::tm Player::LocalTime() const
{
    const std::time_t now = std::time(nullptr) + clock_offset_.count();
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool Player::SetDate(int month, int day, int year)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1970 || year > 2999)
        return false;
    std::tm wanted = LocalTime();
    const std::time_t before = std::mktime(&wanted);
    wanted.tm_mon = month - 1;
    wanted.tm_mday = day;
    wanted.tm_year = year - 1900;
    wanted.tm_isdst = -1;
    const std::time_t after = std::mktime(&wanted);
    if (after == static_cast<std::time_t>(-1) || wanted.tm_mday != day)
        return false;
    clock_offset_ += std::chrono::seconds(after - before);
    DisplayChanged();
    return true;
}

bool Player::SetTime(int hours, int minutes, int seconds)
{
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return false;
    std::tm wanted = LocalTime();
    const std::time_t before = std::mktime(&wanted);
    wanted.tm_hour = hours;
    wanted.tm_min = minutes;
    wanted.tm_sec = seconds;
    wanted.tm_isdst = -1;
    const std::time_t after = std::mktime(&wanted);
    if (after == static_cast<std::time_t>(-1))
        return false;
    clock_offset_ += std::chrono::seconds(after - before);
    DisplayChanged();
    return true;
}

void Player::UpgradeInstalled()
{
    awaiting_reboot_ = true;
}

void Player::Reboot()
{
    if (awaiting_reboot_) {
        firmware_ = upgrade_version_;
        upgrade_version_.clear();
        awaiting_reboot_ = false;
    }
    transport_ = Transport::Stop;
    elapsed_base_ = {};
    sound_.clear();
    attract_ = false;
    display_.EndSketch();
    StateChanged();
    reboot_listeners_.Call();
}

void Player::ResetToFactoryDefaults()
{
    settings_ = PlayerSettings(identity_.name);
    settings_.setup_complete = false;
    settings_.terms_accepted = false;
    volume_ = 40;
    shuffle_ = false;
    repeat_ = RepeatMode::None;
    queue_.clear();
    current_ = -1;
    Reboot();
}

void Player::ShowMessage(std::string text)
{
    message_ = std::move(text);
    if (message_timer_ != 0)
        loop_.CancelTimer(message_timer_);
    message_timer_ = loop_.AddTimer(std::chrono::milliseconds(kMessageMs), [this] {
        message_timer_ = 0;
        message_.clear();
        DisplayChanged();
    });
    DisplayChanged();
}

void Player::Repaint()
{
    if (display_.sketching())
        return;
    HomeScreenState state;
    const std::tm now = LocalTime();
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d", now.tm_hour, now.tm_min);
    state.standby = standby_;
    state.screen_off = settings_.Option("standbyMode").value_or("clock") == "screenOff";
    state.clock = clock;
    state.transport = TransportWord(transport_);
    if (!sound_.empty()) {
        state.title = sound_;
        state.transport = "Play";
    } else if (const Song* song = CurrentSong()) {
        state.title = song->title;
        state.artist = song->artist.empty() ? song->genre : song->artist;
    }
    state.elapsed = TimeText(Elapsed());
    if (const MusicServer* server = ConnectedServer())
        state.server = server->name;
    state.message = message_;
    state.attract = attract_;
    state.attract_text = "Velk Melodeck " + identity_.model;
    state.attract_offset = attract_offset_;
    HomeScreen::Render(state, display_.frame());
}

void Player::StateChanged()
{
    DisplayChanged();
    state_listeners_.Call();
}

void Player::DisplayChanged()
{
    Repaint();
    ScheduleAnimation();
    if (display_event_timer_ != 0)
        return;
    display_event_timer_ = loop_.AddTimer(std::chrono::milliseconds(kDisplayEventMs), [this] {
        display_event_timer_ = 0;
        if (display_.frame() == last_published_)
            return;
        last_published_ = display_.frame();
        display_listeners_.Call();
    });
}

void Player::ScheduleTick()
{
    tick_timer_ = loop_.AddTimer(std::chrono::seconds(1), [this] {
        tick_timer_ = 0;
        if (transport_ == Transport::Play) {
            const Song* song = CurrentSong();
            if (song && song->length_ms > 0 && Elapsed().count() >= song->length_ms)
                AdvanceAtTrackEnd();
        }
        DisplayChanged();
        ScheduleTick();
    });
}

void Player::ScheduleAnimation()
{
    const bool marquee = display_.sketching() && display_.marquee_running();
    const bool attract = !display_.sketching() && attract_;
    if (animation_timer_ != 0 || (!marquee && !attract))
        return;
    animation_timer_ = loop_.AddTimer(std::chrono::milliseconds(kMarqueeStepMs), [this] {
        animation_timer_ = 0;
        if (display_.sketching())
            display_.StepMarquee();
        else if (attract_)
            ++attract_offset_;
        DisplayChanged();
    });
}

void Player::RecordReceived(int connection, std::string_view line)
{
    received_.push_back(std::to_string(connection) + " " + std::string(line));
    while (received_.size() > kReceivedLinesKept)
        received_.pop_front();
}

} // namespace velk::sim
