#include "tools/sim/simulator.h"

#include <arpa/inet.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

#include "tools/sim/library_generator.h"

namespace velk::sim {
namespace {

constexpr std::string_view kDefaultDisplays[] = {"Large VFD", "Small VFD",
                                                 "Small and Tall VFD Direct", "Small VFD Direct"};
constexpr std::string_view kDefaultNames[] = {"Living Room", "Kitchen", "Study", "Bedroom"};

// A stable 64-bit mix of a seed and a text, for identifiers that must not change between runs.
std::uint64_t Mix(std::uint64_t seed, std::string_view text)
{
    std::uint64_t hash = 1469598103934665603ull ^ seed;
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    hash ^= hash >> 29;
    return hash * 0xBF58476D1CE4E5B9ull;
}

template <typename List> std::string Cycle(const List& list, int index)
{
    return std::string(list[static_cast<std::size_t>(index) % std::size(list)]);
}

} // namespace

std::string AddressAfter(const std::string& first, int offset)
{
    in_addr address{};
    inet_pton(AF_INET, first.c_str(), &address);
    address.s_addr = htonl(ntohl(address.s_addr) + static_cast<std::uint32_t>(offset));
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

Simulator::Simulator(const SimOptions& options) : options_(options) {}

Simulator::~Simulator()
{
    upnp_.reset();
    control_.reset();
    shell_servers_.clear();
    players_.clear();
    if (signal_fd_ >= 0)
        close(signal_fd_);
}

PlayerIdentity Simulator::MakeIdentity(int index, bool renderer_only) const
{
    PlayerIdentity identity;
    identity.address = AddressAfter(options_.address, index);
    const std::string display = renderer_only               ? "LCD"
                                : options_.displays.empty() ? Cycle(kDefaultDisplays, index)
                                                            : Cycle(options_.displays, index);
    identity.display = *Display::FindModel(display);
    identity.model = renderer_only ? "SR-100" : std::string(identity.display.model);
    identity.firmware = Cycle(options_.firmware, index);
    if (renderer_only)
        identity.name = "Sonata Renderer";
    else if (!options_.names.empty())
        identity.name = Cycle(options_.names, index);
    else if (index < static_cast<int>(std::size(kDefaultNames)))
        identity.name = Cycle(kDefaultNames, index);
    else
        identity.name = "Melodeck " + std::to_string(index + 1);

    const std::uint64_t a = Mix(options_.seed, identity.address);
    const std::uint64_t b = Mix(a, "udn");
    char udn[64];
    std::snprintf(udn, sizeof udn, "uuid:%08x-%04x-4%03x-8%03x-%012llx",
                  static_cast<unsigned>(a >> 32), static_cast<unsigned>(a >> 16) & 0xFFFF,
                  static_cast<unsigned>(a) & 0xFFF, static_cast<unsigned>(b >> 52) & 0xFFF,
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    identity.udn = udn;
    char mac[32];
    std::snprintf(mac, sizeof mac, "00:0D:4B:%02X:%02X:%02X", static_cast<unsigned>(b >> 16) & 0xFF,
                  static_cast<unsigned>(b >> 8) & 0xFF, static_cast<unsigned>(index) & 0xFF);
    identity.mac = mac;
    return identity;
}

HRESULT Simulator::Start()
{
    // Before any thread starts, so that every thread leaves these signals to the loop.
    if (FAILED(WatchSignals()))
        return E_FAIL;
    library_ = std::make_unique<MusicLibrary>(
        LibraryGenerator::Generate({options_.seed, options_.songs, options_.password}));
    const int devices = options_.players + (options_.renderer_only ? 1 : 0);
    for (int i = 0; i < devices; ++i) {
        const bool renderer_only = i == options_.players;
        auto player = std::make_unique<Player>(loop_, MakeIdentity(i, renderer_only), *library_,
                                               options_.upgrade);
        if (options_.no_server)
            player->DisconnectServer();
        if (options_.setup_required) {
            player->settings().setup_complete = false;
            player->settings().terms_accepted = false;
        }
        player->faults().disabled = options_.disabled;
        if (!renderer_only) {
            auto shell = std::make_unique<ShellServer>(loop_, *player);
            if (FAILED(shell->Start(options_.port)))
                return E_FAIL;
            shell_servers_.push_back(std::move(shell));
        }
        players_.push_back(std::move(player));
    }
    control_ = std::make_unique<ControlServer>(loop_, *this);
    if (FAILED(control_->Start(options_.control)))
        return E_FAIL;
    if (!options_.no_upnp)
        StartUpnp();
    return S_OK;
}

void Simulator::StartUpnp()
{
    std::vector<Player*> players;
    std::vector<bool> renderer_only;
    for (std::size_t i = 0; i < players_.size(); ++i) {
        players.push_back(players_[i].get());
        renderer_only.push_back(static_cast<int>(i) >= options_.players);
    }
    upnp_ = std::make_unique<UpnpHost>(loop_);
    std::string error;
    if (FAILED(upnp_->Start(players, renderer_only, error))) {
        // The players are still useful without UPnP: say why and go on.
        std::fprintf(stderr, "velk-sim: going on without UPnP: %s\n", error.c_str());
        upnp_.reset();
    }
}

HRESULT Simulator::WatchSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return E_FAIL;
    signal_fd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signal_fd_ < 0)
        return E_FAIL;
    loop_.Watch(signal_fd_, POLLIN, [this](short) {
        signalfd_siginfo info;
        while (read(signal_fd_, &info, sizeof info) == sizeof info) {
        }
        loop_.Stop();
    });
    return S_OK;
}

void Simulator::Run()
{
    loop_.Run();
}

Player* Simulator::FindPlayer(std::string_view address)
{
    for (auto& player : players_)
        if (player->identity().address == address)
            return player.get();
    return nullptr;
}

ShellServer* Simulator::FindShellServer(std::string_view address)
{
    for (std::size_t i = 0; i < shell_servers_.size(); ++i)
        if (players_[i]->identity().address == address)
            return shell_servers_[i].get();
    return nullptr;
}

void Simulator::UpnpAvailabilityChanged(Player& player)
{
    if (upnp_)
        upnp_->SetAvailable(player, !player.faults().upnp_hidden);
}

} // namespace velk::sim
