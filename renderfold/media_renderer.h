// One media renderer of the window: the device as the control point described it and the state
// its events and answers told (transport state, play mode, track, volume, elapsed time). The
// state is written only on the GUI thread, where the window and its pages read it; the UPnP
// apartment hands every change over as a queued call. Actions go to the finder that found the
// device. Owned by the device table, shared with the handlers it is given to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>

#include "renderfold/last_change.h"
#include "renderfold/renderer_actions.h"
#include "velk/media_renderer.h"

namespace velk {

// A state change refused because it did not come on the GUI thread.
constexpr HRESULT RPC_E_WRONG_THREAD = MakeHResult(0x8001010E);

// True on the thread of the application object.
bool OnGuiThread();

class CMediaRenderer final : public IMediaRenderer {
public:
    using Done = std::function<void(HRESULT hr)>;

    CMediaRenderer(UPnPDeviceInfo device, CRendererActions* actions);

    HRESULT get_UPnPDevice(UPnPDeviceInfo& device) const override;
    HRESULT get_CurrentTransportState(tagAVTransportState& state) const override;

    const UPnPDeviceInfo& device() const { return device_; }
    const std::string& udn() const { return device_.udn; }
    tagAVTransportState transport_state() const { return transport_state_; }
    PlayMode play_mode() const { return play_mode_; }
    const TrackInfo& track() const { return track_; }
    const std::string& track_duration() const { return track_duration_; }
    const std::string& elapsed_time() const { return elapsed_time_; }
    // None until the device told it.
    std::optional<std::uint32_t> volume() const { return volume_; }

    // GUI thread only (RPC_E_WRONG_THREAD elsewhere, and nothing changes).
    HRESULT SetDevice(UPnPDeviceInfo device);
    HRESULT Apply(const RendererChanges& changes);
    HRESULT SetElapsedTime(std::string_view elapsed);

    // The transport and volume actions; done (optional) gets the result on the GUI thread.
    void Play(Done done = {});
    void Pause(Done done = {});
    void Stop(Done done = {});
    void Next(Done done = {});
    void Previous(Done done = {});
    void SetPlayMode(PlayMode mode, Done done = {});
    void SetVolume(std::uint32_t volume, Done done = {});
    // Asks for the elapsed time of the current track; it arrives in elapsed_time().
    void RefreshPosition();

private:
    void Send(std::string_view service_id, std::string_view action, UPnPService::Arguments in,
              CRendererActions::Done done);
    void SendTransport(std::string_view action, Done done);

    UPnPDeviceInfo device_;
    QPointer<CRendererActions> actions_;
    tagAVTransportState transport_state_ = AV_TRANSPORT_NO_MEDIA_PRESENT;
    PlayMode play_mode_ = PLAY_MODE_NORMAL;
    TrackInfo track_;
    std::string track_duration_;
    std::string elapsed_time_;
    std::optional<std::uint32_t> volume_;
    bool position_pending_ = false;
    // Answers that come back after the renderer went find it expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velk
