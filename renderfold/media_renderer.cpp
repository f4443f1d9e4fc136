#include "renderfold/media_renderer.h"

#include <QCoreApplication>
#include <QThread>

namespace velk {

namespace {

// The AVTransport instance the window controls.
constexpr std::string_view kInstanceId = "0";

// An action's answer for a caller that wants only its result.
CRendererActions::Done ResultOnly(CMediaRenderer::Done done)
{
    return [done = std::move(done)](HRESULT hr, const UPnPService::Arguments&) {
        if (done)
            done(hr);
    };
}

} // namespace

bool OnGuiThread()
{
    const auto* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

CMediaRenderer::CMediaRenderer(UPnPDeviceInfo device, CRendererActions* actions)
    : device_(std::move(device)), actions_(actions)
{
}

HRESULT CMediaRenderer::get_UPnPDevice(UPnPDeviceInfo& device) const
{
    device = device_;
    return S_OK;
}

HRESULT CMediaRenderer::get_CurrentTransportState(tagAVTransportState& state) const
{
    state = transport_state_;
    return S_OK;
}

HRESULT CMediaRenderer::SetDevice(UPnPDeviceInfo device)
{
    if (!OnGuiThread())
        return RPC_E_WRONG_THREAD;
    device_ = std::move(device);
    return S_OK;
}

HRESULT CMediaRenderer::Apply(const RendererChanges& changes)
{
    if (!OnGuiThread())
        return RPC_E_WRONG_THREAD;
    if (changes.transport_state)
        transport_state_ = *changes.transport_state;
    if (changes.play_mode)
        play_mode_ = *changes.play_mode;
    if (changes.track_duration)
        track_duration_ = *changes.track_duration;
    if (changes.track)
        track_ = *changes.track;
    if (changes.volume)
        volume_ = changes.volume;
    return S_OK;
}

HRESULT CMediaRenderer::SetElapsedTime(std::string_view elapsed)
{
    if (!OnGuiThread())
        return RPC_E_WRONG_THREAD;
    elapsed_time_ = ShownText(elapsed);
    return S_OK;
}

void CMediaRenderer::Send(std::string_view service_id, std::string_view action,
                          UPnPService::Arguments in, CRendererActions::Done done)
{
    if (!actions_) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done] { done(RPC_E_DISCONNECTED, {}); },
            Qt::QueuedConnection);
        return;
    }
    actions_->InvokeAction(device_.udn, service_id, action, std::move(in), std::move(done));
}

void CMediaRenderer::SendTransport(std::string_view action, Done done)
{
    UPnPService::Arguments in{{"InstanceID", std::string(kInstanceId)}};
    if (action == "Play")
        in.emplace_back("Speed", "1");
    Send(kAVTransportServiceId, action, std::move(in),
         ResultOnly(std::move(done)));
}

void CMediaRenderer::Play(Done done) { SendTransport("Play", std::move(done)); }
void CMediaRenderer::Pause(Done done) { SendTransport("Pause", std::move(done)); }
void CMediaRenderer::Stop(Done done) { SendTransport("Stop", std::move(done)); }
void CMediaRenderer::Next(Done done) { SendTransport("Next", std::move(done)); }
void CMediaRenderer::Previous(Done done) { SendTransport("Previous", std::move(done)); }

void CMediaRenderer::SetPlayMode(PlayMode mode, Done done)
{
    Send(kAVTransportServiceId, "SetPlayMode",
         {{"InstanceID", std::string(kInstanceId)}, {"NewPlayMode", std::string(PlayModeWord(mode))}},
         ResultOnly(std::move(done)));
}

void CMediaRenderer::SetVolume(std::uint32_t volume, Done done)
{
    Send(kRenderingControlServiceId, "SetVolume",
         {{"InstanceID", std::string(kInstanceId)}, {"Channel", "Master"},
          {"DesiredVolume", std::to_string(volume)}},
         ResultOnly(std::move(done)));
}

void CMediaRenderer::RefreshPosition()
{
    if (position_pending_)
        return;
    position_pending_ = true;
    // The renderer is shared with the table: the answer finds it again by its weak reference.
    Send(kAVTransportServiceId, "GetPositionInfo", {{"InstanceID", std::string(kInstanceId)}},
         [this, alive = std::weak_ptr<bool>(alive_)](HRESULT hr, const UPnPService::Arguments& out) {
             if (alive.expired())
                 return;
             position_pending_ = false;
             if (FAILED(hr))
                 return;
             for (const auto& [name, value] : out) {
                 if (name == "RelTime")
                     SetElapsedTime(value);
             }
         });
}

} // namespace velk
