#include "tools/sim/upnp_host.h"

#include <libgupnp/gupnp.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>

#include "tools/sim/upnp_descriptions.h"
#include "tools/sim/upnp_device.h"

namespace velk::sim {
namespace {

constexpr const char* kLoopbackAddress = "127.0.0.1";

bool WriteFile(const std::filesystem::path& path, std::string_view text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(file);
}

// The device's file and URL name: its UDN without "uuid:".
std::string DeviceId(const Player& player)
{
    const std::string& udn = player.identity().udn;
    return udn.rfind("uuid:", 0) == 0 ? udn.substr(5) : udn;
}

} // namespace

UpnpHost::UpnpHost(EventLoop& loop) : loop_(loop)
{
    context_ = g_main_context_new();
    main_loop_ = g_main_loop_new(context_, FALSE);
}

UpnpHost::~UpnpHost()
{
    for (auto& entry : entries_)
        entry.player->state_listeners().Remove(entry.listener);
    if (thread_.joinable()) {
        // Devices say goodbye and go away on their own thread, then the thread ends.
        RunOnUpnpThread([this] {
            for (auto& entry : entries_)
                entry.device.reset();
            if (upnp_context_)
                g_object_unref(upnp_context_);
            upnp_context_ = nullptr;
            g_main_loop_quit(main_loop_);
        });
        thread_.join();
    }
    g_main_loop_unref(main_loop_);
    g_main_context_unref(context_);
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

void UpnpHost::RunOnUpnpThread(std::function<void()> task)
{
    auto* call = new std::function<void()>(std::move(task));
    g_main_context_invoke_full(
        context_, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        call, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

HRESULT UpnpHost::WriteDescriptions(const std::vector<bool>& renderer_only, std::string& error)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velk-sim-upnp-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot create a folder for the device descriptions";
        return E_FAIL;
    }
    folder_ = pattern;
    const std::filesystem::path folder(folder_);
    bool written =
        WriteFile(folder / UpnpDescriptions::kAvTransportScpd, UpnpDescriptions::AvTransport()) &&
        WriteFile(folder / UpnpDescriptions::kRenderingControlScpd,
                  UpnpDescriptions::RenderingControl()) &&
        WriteFile(folder / UpnpDescriptions::kConnectionManagerScpd,
                  UpnpDescriptions::ConnectionManager());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Player& player = *entries_[i].player;
        RendererDescription description;
        description.udn = player.identity().udn;
        description.friendly_name = player.settings().friendly_name;
        if (renderer_only[i]) {
            description.manufacturer = "Sonata Audio";
            description.model_name = "Sonata Renderer";
            description.model_description = "Network audio renderer";
        } else {
            description.manufacturer = "Velk";
            description.model_name = "Melodeck";
            description.model_description = "Melodeck network music player";
        }
        description.model_number = player.identity().model;
        description.presentation_url = "http://" + player.identity().address + "/";
        description.url_prefix = "/" + DeviceId(player);
        written = written && WriteFile(folder / (DeviceId(player) + ".xml"),
                                       UpnpDescriptions::Device(description));
    }
    if (!written) {
        error = "cannot write the device descriptions to " + folder_;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT UpnpHost::Start(const std::vector<Player*>& players, const std::vector<bool>& renderer_only,
                        std::string& error)
{
    for (Player* player : players)
        entries_.push_back(Entry{player, nullptr, 0});
    if (FAILED(WriteDescriptions(renderer_only, error)))
        return E_FAIL;

    std::vector<RendererState> initial;
    for (const auto& entry : entries_)
        initial.push_back(RendererState::Of(*entry.player));
    std::promise<std::string> started;
    thread_ = std::thread(&UpnpHost::ThreadMain, this, [this, &started, &initial] {
        GError* failure = nullptr;
        GInetAddress* address = g_inet_address_new_from_string(kLoopbackAddress);
        GUPnPContext* context =
            gupnp_context_new_full(kInterface, address, 0, GSSDP_UDA_VERSION_1_0, &failure);
        g_object_unref(address);
        if (!context) {
            started.set_value(std::string("no UPnP on the loopback interface: ") +
                              (failure ? failure->message : "unknown error"));
            g_clear_error(&failure);
            return;
        }
        upnp_context_ = context;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            auto device = std::make_unique<UpnpDevice>(loop_, *entries_[i].player, initial[i]);
            std::string reason;
            if (!device->Create(context, folder_, DeviceId(*entries_[i].player) + ".xml", reason)) {
                started.set_value("UPnP device of " + entries_[i].player->identity().address +
                                  ": " + reason);
                return;
            }
            entries_[i].device = std::move(device);
        }
        // Announced only once all exist: nobody can call an action of a half-built set.
        for (auto& entry : entries_)
            entry.device->SetAvailable(true);
        started.set_value({});
    });
    error = started.get_future().get();
    if (!error.empty())
        return E_FAIL;

    // Changes reach the device as plain values, taken on the loop thread.
    for (auto& entry : entries_) {
        UpnpDevice* device = entry.device.get();
        Player* player = entry.player;
        entry.listener = player->state_listeners().Add([this, device, player] {
            RunOnUpnpThread(
                [device, state = RendererState::Of(*player)] { device->Update(state); });
        });
    }
    return S_OK;
}

void UpnpHost::ThreadMain(std::function<void()> setup)
{
    // gupnp finds its main context through the thread default: without it nothing is ever
    // served or announced.
    g_main_context_push_thread_default(context_);
    setup();
    g_main_loop_run(main_loop_);
    g_main_context_pop_thread_default(context_);
}

void UpnpHost::SetAvailable(const Player& player, bool available)
{
    for (auto& entry : entries_) {
        if (entry.player != &player || !entry.device)
            continue;
        UpnpDevice* device = entry.device.get();
        RunOnUpnpThread([device, available] { device->SetAvailable(available); });
    }
}

} // namespace velk::sim
