#include "tools/sim/upnp_device.h"

namespace velk::sim {
namespace {

constexpr const char* kAvTransportType = "urn:schemas-upnp-org:service:AVTransport:1";
constexpr const char* kRenderingControlType = "urn:schemas-upnp-org:service:RenderingControl:1";
constexpr const char* kConnectionManagerType = "urn:schemas-upnp-org:service:ConnectionManager:1";
constexpr const char* kSinkProtocols = "http-get:*:audio/mpeg:*,http-get:*:audio/"
                                       "mp4:*,http-get:*:audio/x-ms-wma:*,http-get:*:audio/flac:*";
constexpr int kDefaultVolume = 40;

// UPnP error codes the actions answer with.
constexpr guint kInvalidArgs = 402;
constexpr guint kActionFailed = 501;
constexpr guint kInvalidAction = 401;
constexpr guint kTransitionNotAvailable = 701;
constexpr guint kPlaySpeedNotSupported = 717;
constexpr guint kPlayModeNotSupported = 712;
constexpr guint kInvalidInstanceId = 718;
constexpr guint kInvalidConnection = 706;

std::string StringArgument(GUPnPServiceAction* action, const char* name)
{
    char* value = nullptr;
    gupnp_service_action_get(action, name, G_TYPE_STRING, &value, nullptr);
    std::string text = value ? value : "";
    g_free(value);
    return text;
}

guint UintArgument(GUPnPServiceAction* action, const char* name)
{
    guint value = G_MAXUINT;
    gupnp_service_action_get(action, name, G_TYPE_UINT, &value, nullptr);
    return value;
}

// Fills in the answer of an AVTransport question; false for an action that is none.
bool AnswerQuestion(GUPnPServiceAction* action, const std::string& name, const RendererState& now)
{
    if (name == "GetTransportInfo") {
        gupnp_service_action_set(action, "CurrentTransportState", G_TYPE_STRING,
                                 now.transport_state.c_str(), "CurrentTransportStatus",
                                 G_TYPE_STRING, "OK", "CurrentSpeed", G_TYPE_STRING, "1", nullptr);
    } else if (name == "GetPositionInfo") {
        gupnp_service_action_set(
            action, "Track", G_TYPE_UINT, static_cast<guint>(now.current_track), "TrackDuration",
            G_TYPE_STRING, now.track_duration.c_str(), "TrackMetaData", G_TYPE_STRING,
            now.track_metadata.c_str(), "TrackURI", G_TYPE_STRING, now.track_uri.c_str(), "RelTime",
            G_TYPE_STRING, now.position.c_str(), "AbsTime", G_TYPE_STRING, now.position.c_str(),
            "RelCount", G_TYPE_INT, 2147483647, "AbsCount", G_TYPE_INT, 2147483647, nullptr);
    } else if (name == "GetMediaInfo") {
        gupnp_service_action_set(
            action, "NrTracks", G_TYPE_UINT, static_cast<guint>(now.number_of_tracks),
            "MediaDuration", G_TYPE_STRING, "NOT_IMPLEMENTED", "CurrentURI", G_TYPE_STRING,
            now.track_uri.c_str(), "CurrentURIMetaData", G_TYPE_STRING, now.track_metadata.c_str(),
            "NextURI", G_TYPE_STRING, "", "NextURIMetaData", G_TYPE_STRING, "", "PlayMedium",
            G_TYPE_STRING, "NETWORK", "RecordMedium", G_TYPE_STRING, "NOT_IMPLEMENTED",
            "WriteStatus", G_TYPE_STRING, "NOT_IMPLEMENTED", nullptr);
    } else if (name == "GetDeviceCapabilities") {
        gupnp_service_action_set(action, "PlayMedia", G_TYPE_STRING, "NETWORK", "RecMedia",
                                 G_TYPE_STRING, "NOT_IMPLEMENTED", "RecQualityModes", G_TYPE_STRING,
                                 "NOT_IMPLEMENTED", nullptr);
    } else if (name == "GetTransportSettings") {
        gupnp_service_action_set(action, "PlayMode", G_TYPE_STRING, now.play_mode.c_str(),
                                 "RecQualityMode", G_TYPE_STRING, "NOT_IMPLEMENTED", nullptr);
    } else {
        return false;
    }
    return true;
}

} // namespace

UpnpDevice::UpnpDevice(EventLoop& loop, Player& player, RendererState initial)
    : loop_(loop), player_(player), state_(std::move(initial))
{
}

UpnpDevice::~UpnpDevice()
{
    for (GUPnPService* service : {av_transport_, rendering_control_, connection_manager_}) {
        if (service) {
            g_signal_handlers_disconnect_by_data(service, this);
            g_object_unref(service);
        }
    }
    if (root_) {
        gupnp_root_device_set_available(root_, FALSE);
        g_object_unref(root_);
    }
}

GUPnPService* UpnpDevice::TakeService(const char* type, std::initializer_list<const char*> actions)
{
    GUPnPServiceInfo* info = gupnp_device_info_get_service(GUPNP_DEVICE_INFO(root_), type);
    if (!info)
        return nullptr;
    GUPnPService* service = GUPNP_SERVICE(info);
    // gupnp answers "Invalid Action" unless a handler is connected for the action's own detail.
    for (const char* action : actions)
        g_signal_connect(service, (std::string("action-invoked::") + action).c_str(),
                         G_CALLBACK(&UpnpDevice::OnAction), this);
    g_signal_connect(service, "query-variable", G_CALLBACK(&UpnpDevice::OnQueryVariable), this);
    return service;
}

bool UpnpDevice::Create(GUPnPContext* context, const std::string& folder,
                        const std::string& description_file, std::string& error)
{
    GError* failure = nullptr;
    root_ = gupnp_root_device_new(context, description_file.c_str(), folder.c_str(), &failure);
    if (!root_) {
        error = failure ? failure->message : "cannot create the root device";
        g_clear_error(&failure);
        return false;
    }
    gssdp_resource_group_set_max_age(gupnp_root_device_get_ssdp_resource_group(root_),
                                     kMaxAgeSeconds);
    av_transport_ =
        TakeService(kAvTransportType, {"GetMediaInfo", "GetTransportInfo", "GetPositionInfo",
                                       "GetDeviceCapabilities", "GetTransportSettings", "Stop",
                                       "Play", "Pause", "Next", "Previous", "SetPlayMode"});
    rendering_control_ =
        TakeService(kRenderingControlType, {"ListPresets", "SelectPreset", "GetMute", "SetMute",
                                            "GetVolume", "SetVolume"});
    connection_manager_ =
        TakeService(kConnectionManagerType,
                    {"GetProtocolInfo", "GetCurrentConnectionIDs", "GetCurrentConnectionInfo"});
    if (!av_transport_ || !rendering_control_ || !connection_manager_) {
        error = "a service is missing from the device description";
        return false;
    }
    return true;
}

void UpnpDevice::SetAvailable(bool available)
{
    if (root_)
        gupnp_root_device_set_available(root_, available);
}

void UpnpDevice::Update(const RendererState& state)
{
    const std::string transport = AvTransportLastChange(state, &state_);
    if (!transport.empty())
        gupnp_service_notify(av_transport_, "LastChange", G_TYPE_STRING, transport.c_str(),
                             nullptr);
    const std::string rendering = RenderingControlLastChange(state, &state_);
    if (!rendering.empty())
        gupnp_service_notify(rendering_control_, "LastChange", G_TYPE_STRING, rendering.c_str(),
                             nullptr);
    state_ = state;
}

bool UpnpDevice::OnPlayer(const std::function<void(Player&)>& task)
{
    return loop_.Invoke([this, &task] { task(player_); });
}

void UpnpDevice::OnQueryVariable(GUPnPService* service, char* variable, GValue* value,
                                 gpointer self)
{
    auto* device = static_cast<UpnpDevice*>(self);
    const std::string name = variable;
    std::string text;
    if (service == device->av_transport_ && name == "LastChange")
        text = AvTransportLastChange(device->state_, nullptr);
    else if (service == device->rendering_control_ && name == "LastChange")
        text = RenderingControlLastChange(device->state_, nullptr);
    else if (name == "SinkProtocolInfo")
        text = kSinkProtocols;
    else if (name == "CurrentConnectionIDs")
        text = "0";
    g_value_init(value, G_TYPE_STRING);
    g_value_set_string(value, text.c_str());
}

void UpnpDevice::OnAction(GUPnPService* service, GUPnPServiceAction* action, gpointer self)
{
    auto* device = static_cast<UpnpDevice*>(self);
    const std::string name = gupnp_service_action_get_name(action);
    if (service == device->connection_manager_) {
        device->ConnectionManagerAction(action, name);
        return;
    }
    if (UintArgument(action, "InstanceID") != 0) {
        gupnp_service_action_return_error(action, kInvalidInstanceId, "Invalid InstanceID");
        return;
    }
    if (service == device->av_transport_)
        device->AvTransportAction(action, name);
    else
        device->RenderingControlAction(action, name);
}

void UpnpDevice::AvTransportAction(GUPnPServiceAction* action, const std::string& name)
{
    bool refused = false;
    bool done = true;
    if (name == "Play") {
        if (StringArgument(action, "Speed") != "1") {
            gupnp_service_action_return_error(action, kPlaySpeedNotSupported,
                                              "Play speed not supported");
            return;
        }
        done = OnPlayer([&refused](Player& player) {
            refused = player.queue().empty();
            player.Play();
        });
    } else if (name == "Pause") {
        done = OnPlayer([&refused](Player& player) {
            refused = player.transport() != Transport::Play;
            player.Pause();
        });
    } else if (name == "Stop" || name == "Next" || name == "Previous") {
        done = OnPlayer([&name](Player& player) {
            if (name == "Stop")
                player.Stop();
            else if (name == "Next")
                player.Next();
            else
                player.Previous();
        });
    } else if (name == "SetPlayMode") {
        auto mode = PlayModeFromWord(StringArgument(action, "NewPlayMode"));
        if (!mode) {
            gupnp_service_action_return_error(action, kPlayModeNotSupported,
                                              "Play mode not supported");
            return;
        }
        done = OnPlayer([&mode](Player& player) {
            player.SetShuffle(mode->shuffle);
            player.SetRepeat(mode->repeat);
        });
    } else {
        // The questions: the state as it is now, with the position of this moment.
        RendererState now;
        done = OnPlayer([&now](Player& player) { now = RendererState::Of(player); });
        if (done && !AnswerQuestion(action, name, now)) {
            gupnp_service_action_return_error(action, kInvalidAction, "Invalid Action");
            return;
        }
    }
    if (!done)
        gupnp_service_action_return_error(action, kActionFailed, "Action Failed");
    else if (refused)
        gupnp_service_action_return_error(action, kTransitionNotAvailable,
                                          "Transition not available");
    else
        gupnp_service_action_return_success(action);
}

void UpnpDevice::RenderingControlAction(GUPnPServiceAction* action, const std::string& name)
{
    if (name == "ListPresets") {
        gupnp_service_action_set(action, "CurrentPresetNameList", G_TYPE_STRING, "FactoryDefaults",
                                 nullptr);
        gupnp_service_action_return_success(action);
        return;
    }
    if (name == "SelectPreset") {
        if (StringArgument(action, "PresetName") != "FactoryDefaults") {
            gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
            return;
        }
        const bool done = OnPlayer([](Player& player) {
            player.SetVolume(kDefaultVolume);
            player.SetMute(false);
        });
        done ? gupnp_service_action_return_success(action)
             : gupnp_service_action_return_error(action, kActionFailed, "Action Failed");
        return;
    }
    if (StringArgument(action, "Channel") != "Master") {
        gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
        return;
    }
    int volume = 0;
    bool muted = false;
    bool done = true;
    if (name == "GetVolume" || name == "GetMute") {
        done = OnPlayer([&](Player& player) {
            volume = player.volume();
            muted = player.muted();
        });
        if (done && name == "GetVolume")
            gupnp_service_action_set(action, "CurrentVolume", G_TYPE_UINT,
                                     static_cast<guint>(volume), nullptr);
        else if (done)
            gupnp_service_action_set(action, "CurrentMute", G_TYPE_BOOLEAN, muted ? TRUE : FALSE,
                                     nullptr);
    } else if (name == "SetVolume") {
        const guint desired = UintArgument(action, "DesiredVolume");
        if (desired > static_cast<guint>(Player::kMaxVolume)) {
            gupnp_service_action_return_error(action, kInvalidArgs, "Invalid Args");
            return;
        }
        done = OnPlayer([desired](Player& player) { player.SetVolume(static_cast<int>(desired)); });
    } else if (name == "SetMute") {
        gboolean desired = FALSE;
        gupnp_service_action_get(action, "DesiredMute", G_TYPE_BOOLEAN, &desired, nullptr);
        done = OnPlayer([desired](Player& player) { player.SetMute(desired != FALSE); });
    } else {
        gupnp_service_action_return_error(action, kInvalidAction, "Invalid Action");
        return;
    }
    done ? gupnp_service_action_return_success(action)
         : gupnp_service_action_return_error(action, kActionFailed, "Action Failed");
}

void UpnpDevice::ConnectionManagerAction(GUPnPServiceAction* action, const std::string& name)
{
    if (name == "GetProtocolInfo") {
        gupnp_service_action_set(action, "Source", G_TYPE_STRING, "", "Sink", G_TYPE_STRING,
                                 kSinkProtocols, nullptr);
    } else if (name == "GetCurrentConnectionIDs") {
        gupnp_service_action_set(action, "ConnectionIDs", G_TYPE_STRING, "0", nullptr);
    } else if (name == "GetCurrentConnectionInfo") {
        gint id = -1;
        gupnp_service_action_get(action, "ConnectionID", G_TYPE_INT, &id, nullptr);
        if (id != 0) {
            gupnp_service_action_return_error(action, kInvalidConnection,
                                              "Invalid connection reference");
            return;
        }
        gupnp_service_action_set(action, "RcsID", G_TYPE_INT, 0, "AVTransportID", G_TYPE_INT, 0,
                                 "ProtocolInfo", G_TYPE_STRING, "", "PeerConnectionManager",
                                 G_TYPE_STRING, "", "PeerConnectionID", G_TYPE_INT, -1, "Direction",
                                 G_TYPE_STRING, "Input", "Status", G_TYPE_STRING, "OK", nullptr);
    } else {
        gupnp_service_action_return_error(action, kInvalidAction, "Invalid Action");
        return;
    }
    gupnp_service_action_return_success(action);
}

} // namespace velk::sim
