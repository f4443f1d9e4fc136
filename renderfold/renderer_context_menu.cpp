#include "renderfold/renderer_context_menu.h"

#include <array>


#include "renderfold/double_click_setting.h"
#include "renderfold/media_renderer.h"
#include "renderfold/renderer_commands.h"

namespace velk {

namespace {

constexpr unsigned kTransportStates = AV_TRANSPORT_STOPPED | AV_TRANSPORT_PLAYING |
                                      AV_TRANSPORT_TRANSITIONING | AV_TRANSPORT_PAUSED_PLAYBACK;
constexpr unsigned kRunning = AV_TRANSPORT_PLAYING | AV_TRANSPORT_TRANSITIONING;

constexpr std::array<RendererVerb, 7> kVerbs = {{
    {"&Open", "open", "Opens the web page for the device", true, 0, false},
    {"&Play", "play", "Starts the device playing the current queue", false,
     AV_TRANSPORT_STOPPED | AV_TRANSPORT_PAUSED_PLAYBACK, false},
    {"Run as administrator", "runas", "Configure device as administrator", false, 0, true},
    {"&Pause", "pause", "Pauses the device", false, kRunning, false},
    {"&Stop", "stop", "Stops playback on the device", true, kRunning, false},
    {"&Next", "nexttrk", "Advance to the next track", false, kTransportStates, false},
    {"Pre&vious", "prevtrk", "Return to the previous track", true, kTransportStates, false},
}};
constexpr unsigned kOpen = 0;

} // namespace

std::span<const RendererVerb> RendererVerbs() { return kVerbs; }

HRESULT CMediaRendererContextMenu::Initialize(const std::shared_ptr<IDataObject>& data_object)
{
    if (!data_object)
        return E_INVALIDARG;
    const auto& items = data_object->Items();
    item_ = items.size() == 1 ? items.front() : nullptr;
    return S_OK;
}

HRESULT CMediaRendererContextMenu::QueryContextMenu(ContextMenu& menu, std::size_t index, unsigned first_id,
                                                    unsigned last_id, unsigned flags)
{
    if (!item_ || last_id < first_id + kVerbs.size() - 1)
        return S_OK;
    tagAVTransportState state = AV_TRANSPORT_UNKNOWN;
    item_->get_CurrentTransportState(state);
    HRESULT inserted = 0;
    for (unsigned offset = 0; offset < kVerbs.size(); ++offset) {
        const RendererVerb& verb = kVerbs[offset];
        if ((flags & CMF_DEFAULTONLY) && offset != kOpen)
            continue;
        if (verb.states && !(verb.states & state))
            continue;
        menu.Insert(index++, {first_id + offset, verb.text, false, verb.shield});
        ++inserted;
        if (offset == kOpen && DoubleClickOpensWebPage())
            menu.default_command = first_id + offset;
        if (verb.separator_after && !(flags & CMF_DEFAULTONLY)) {
            menu.Insert(index++, {0, {}, true, false});
            ++inserted;
        }
    }
    return inserted;
}

HRESULT CMediaRendererContextMenu::InvokeCommand(const InvokeCommandInfo& info)
{
    auto renderer = std::dynamic_pointer_cast<CMediaRenderer>(item_);
    if (!item_)
        return E_FAIL;
    unsigned offset = 0;
    if (const auto* number = std::get_if<unsigned>(&info.verb)) {
        offset = *number;
    } else {
        const auto& name = std::get<std::string>(info.verb);
        while (offset < kVerbs.size() && kVerbs[offset].verb != name)
            ++offset;
    }
    if (offset >= kVerbs.size())
        return E_INVALIDARG;
    UPnPDeviceInfo device;
    item_->get_UPnPDevice(device);
    const std::string_view verb = kVerbs[offset].verb;
    if (verb == "open")
        return OpenPresentationPage(device, info.owner);
    if (verb == "runas")
        return RunAsAdministrator(device.udn, info.owner);
    if (!renderer)
        return E_NOTIMPL;
    // The action as the menu names it, without its access key.
    std::string action = kVerbs[offset].text;
    std::erase(action, '&');
    const auto report = ReportFailure(info.owner, device, action);
    if (verb == "play")
        renderer->Play(report);
    else if (verb == "pause")
        renderer->Pause(report);
    else if (verb == "stop")
        renderer->Stop(report);
    else if (verb == "nexttrk")
        renderer->Next(report);
    else
        renderer->Previous(report);
    return S_OK;
}

HRESULT CMediaRendererContextMenu::GetCommandString(unsigned offset, unsigned type, std::string& text)
{
    text.clear();
    if (offset >= kVerbs.size())
        return E_INVALIDARG;
    if (type == GCS_VERB)
        text = kVerbs[offset].verb;
    else if (type == GCS_HELPTEXT)
        text = kVerbs[offset].help;
    return S_OK;
}

} // namespace velk
