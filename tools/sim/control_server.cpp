#include "tools/sim/control_server.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "tools/sim/remote_keys.h"
#include "tools/sim/simulator.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

std::string_view RepeatWord(RepeatMode mode)
{
    return mode == RepeatMode::All ? "all" : mode == RepeatMode::One ? "one" : "none";
}

std::string StateJson(Player& player, const ShellServer* shell)
{
    nlohmann::json state;
    const PlayerIdentity& identity = player.identity();
    state["address"] = identity.address;
    state["name"] = player.settings().friendly_name;
    state["model"] = identity.model;
    state["display"] = player.display().type();
    state["firmware"] = player.firmware();
    state["udn"] = identity.udn;
    state["power"] = player.standby() ? "standby" : "on";
    state["transport"] = TransportWord(player.transport());
    state["volume"] = player.volume();
    state["shuffle"] = player.shuffle();
    state["repeat"] = RepeatWord(player.repeat());
    state["queue_length"] = player.queue().size();
    state["current_index"] = player.current_index();
    const Song* song = player.CurrentSong();
    state["current_song"] = song ? song->title : "";
    state["elapsed_ms"] = player.Elapsed().count();
    const MusicServer* server = player.ConnectedServer();
    state["server"] = server ? server->name : "";
    state["sketching"] = player.display().sketching();
    state["connections"] = shell ? shell->connection_count() : 0;
    state["awaiting_reboot"] = player.awaiting_reboot();
    const PlayerFaults& faults = player.faults();
    state["faults"] = {{"silent", faults.silent},
                       {"slow_ms", faults.reply_delay_ms},
                       {"disabled", faults.disabled},
                       {"upnp_hidden", faults.upnp_hidden}};
    return state.dump();
}

} // namespace

// One client of the control socket.
class ControlServer::Session : public Connection::Handler {
public:
    Session(Simulator& simulator, Connection& connection)
        : simulator_(simulator), connection_(connection)
    {
    }
    ~Session() override
    {
        if (watched_)
            watched_->display_listeners().Remove(watch_id_);
    }

    void OnOverlongLine(std::string_view) override { connection_.SendLine("ERROR line too long"); }

    void OnLine(std::string_view line) override
    {
        const auto words = SplitWords(line);
        if (words.empty())
            return;
        const std::string_view command = words[0];
        if (command == "players") {
            for (const auto& player : simulator_.players()) {
                const PlayerIdentity& id = player->identity();
                const bool renderer_only = simulator_.FindShellServer(id.address) == nullptr;
                connection_.SendLine(id.address + "\t" + player->settings().friendly_name + "\t" +
                                     id.model + "\t" + player->display().type() + "\t" +
                                     player->firmware() + "\t" + id.udn + "\t" +
                                     (renderer_only ? "renderer-only" : "player"));
            }
            return Done();
        }
        if (words.size() < 2)
            return Fail("usage: " + std::string(command) + " ADDRESS ...");
        Player* player = simulator_.FindPlayer(words[1]);
        if (!player)
            return Fail("no simulated device at " + std::string(words[1]));
        if (command == "state") {
            connection_.SendLine(StateJson(*player, simulator_.FindShellServer(words[1])));
            return Done();
        }
        if (command == "key") {
            auto code = words.size() == 3 ? RemoteKeyCode(words[2]) : std::nullopt;
            if (!code)
                return Fail("usage: key ADDRESS CK_<NAME> (a remote key)");
            player->PressRemoteKey(*code);
            return Done();
        }
        if (command == "frame") {
            connection_.SendLine(FrameLine(*player));
            return Done();
        }
        if (command == "watch") {
            if (watched_)
                return Fail("already watching");
            watched_ = player;
            connection_.SendLine(FrameLine(*player));
            watch_id_ = player->display_listeners().Add(
                [this] { connection_.SendLine(FrameLine(*watched_)); });
            return;
        }
        if (command == "received") {
            auto count = words.size() == 3
                             ? ParseInt(words[2], 1, static_cast<int>(Player::kReceivedLinesKept))
                             : std::optional<int>(50);
            if (!count)
                return Fail("usage: received ADDRESS [COUNT]");
            const auto& lines = player->received();
            const std::size_t skip =
                lines.size() > static_cast<std::size_t>(*count) ? lines.size() - *count : 0;
            for (std::size_t i = skip; i < lines.size(); ++i)
                connection_.SendLine(OneLine(lines[i]));
            return Done();
        }
        if (command == "fault")
            return Fault(*player, words);
        Fail("unknown command " + std::string(command));
    }

private:
    void Done() { connection_.SendLine("OK"); }
    void Fail(const std::string& reason) { connection_.SendLine("ERROR " + OneLine(reason)); }

    void Fault(Player& player, const std::vector<std::string_view>& words)
    {
        const std::string_view what = words.size() > 2 ? words[2] : std::string_view();
        const std::string_view value = words.size() > 3 ? words[3] : std::string_view();
        const bool on = value == "on";
        const bool on_or_off = value == "on" || value == "off";
        PlayerFaults& faults = player.faults();
        if ((what == "silent" || what == "disabled") && on_or_off && words.size() == 4) {
            (what == "silent" ? faults.silent : faults.disabled) = on;
        } else if (what == "slow" && words.size() == 4) {
            auto delay = ParseInt(value, 0, 600000);
            if (!delay)
                return Fail("usage: fault ADDRESS slow MILLISECONDS");
            faults.reply_delay_ms = *delay;
        } else if (what == "drop" && words.size() == 3) {
            ShellServer* shell = simulator_.FindShellServer(player.identity().address);
            if (shell)
                shell->DropAll(false);
        } else if (what == "upnp" && on_or_off && words.size() == 4) {
            faults.upnp_hidden = !on;
            simulator_.UpnpAvailabilityChanged(player);
        } else if (what == "clear" && words.size() == 3) {
            const bool was_hidden = faults.upnp_hidden;
            faults = PlayerFaults{};
            if (was_hidden)
                simulator_.UpnpAvailabilityChanged(player);
        } else {
            return Fail("usage: fault ADDRESS silent on|off | slow MS | drop | disabled on|off | "
                        "upnp on|off | clear");
        }
        Done();
    }

    Simulator& simulator_;
    Connection& connection_;
    Player* watched_ = nullptr;
    Listeners<>::Id watch_id_ = 0;
};

ControlServer::ControlServer(EventLoop& loop, Simulator& simulator)
    : loop_(loop), simulator_(simulator)
{
}

ControlServer::~ControlServer()
{
    connections_.clear();
    if (listen_fd_ >= 0) {
        loop_.Unwatch(listen_fd_);
        close(listen_fd_);
        unlink(path_.c_str());
    }
}

std::string ControlServer::FrameLine(const Player& player)
{
    const FrameBuffer& frame = player.display().frame();
    return "frame " + std::to_string(frame.width()) + " " + std::to_string(frame.height()) + " " +
           frame.ColumnHex();
}

HRESULT ControlServer::Start(const std::string& path)
{
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof where.sun_path) {
        std::fprintf(stderr, "velk-sim: control socket path too long: %s\n", path.c_str());
        return E_INVALIDARG;
    }
    std::memcpy(where.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return E_FAIL;
    // A socket file that nobody answers on is left over from a simulator that died.
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool in_use =
        probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
    if (probe >= 0)
        close(probe);
    if (in_use) {
        std::fprintf(stderr, "velk-sim: another simulator answers on %s (use --control)\n",
                     path.c_str());
        close(fd);
        return E_FAIL;
    }
    unlink(path.c_str());
    const mode_t old_mask = umask(0077);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
    umask(old_mask);
    if (!bound || listen(fd, 8) != 0) {
        std::fprintf(stderr, "velk-sim: cannot listen on %s: %s\n", path.c_str(),
                     std::strerror(errno));
        close(fd);
        return E_FAIL;
    }
    listen_fd_ = fd;
    path_ = path;
    loop_.Watch(listen_fd_, POLLIN, [this](short) { Accept(); });
    return S_OK;
}

void ControlServer::Accept()
{
    for (;;) {
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int id = next_id_++;
        auto connection = std::make_unique<Connection>(loop_, fd, id);
        connection->SetHandler(std::make_unique<Session>(simulator_, *connection));
        connection->SetOnClosed([this](int closed_id) { connections_.erase(closed_id); });
        connections_.emplace(id, std::move(connection));
    }
}

} // namespace velk::sim
