#include "providers/time/velk_time_server.h"

#include <ctime>

#include "platform/date.h"
#include "platform/nls.h"
#include "providers/common/companion_module.h"
#include "providers/common/player_text.h"
#include "providers/time/time_device_state.h"

namespace velk {

namespace {

std::optional<std::string_view> EntryOf(const std::map<std::string, std::string>& formats,
                                        const std::string& udn)
{
    auto found = formats.find(udn);
    if (found == formats.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> OwnedEntryOf(const std::map<std::string, std::string>& formats,
                                        const std::string& udn)
{
    auto entry = EntryOf(formats, udn);
    return entry ? std::optional<std::string>(*entry) : std::nullopt;
}

// An address inside this module, by which its companion module is found.
void ModuleAnchor() {}

} // namespace

const Dispatcher<CVelkTimeServer>& CVelkTimeServer::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CVelkTimeServer>("IVelkDataObject")
                                       .Method("Run", 2, &CVelkTimeServer::Run)
                                       .Method("Terminate", 3, &CVelkTimeServer::Terminate)
                                       .Build();
    return dispatcher;
}

HRESULT CVelkTimeServer::Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                                    std::uint32_t& lpdwPollFrequency)
{
    // The local time follows a time zone changed since the service started.
    tzset();
    InitializeFramework(iHost);
    lpdwPollFrequency = kPollIntervalMs;
    return S_OK;
}

HRESULT CVelkTimeServer::Start(const std::shared_ptr<IVelkDataHost>&)
{
    StartFramework();
    return S_OK;
}

HRESULT CVelkTimeServer::Run()
{
    ForEachPlayer([this](const std::shared_ptr<IVelkDevice>& player) { Draw(*player); });
    return S_OK;
}

HRESULT CVelkTimeServer::Terminate()
{
    TerminateFramework();
    return S_OK;
}

void CVelkTimeServer::Draw(IVelkDevice& player) const
{
    // Drawing over what the player's show-content setting keeps for its own screen would
    // ignore that setting: the player gets its screen back instead.
    bool accepting = false;
    if (FAILED(player.get_IsAcceptingSketch(accepting)) || !accepting) {
        player.Sketch(SketchVerbs::SketchQuit, {}, {}, {}, {}, {}, {});
        return;
    }
    SelectPlayerFont(player);
    std::string udn;
    if (FAILED(player.get_UDN(udn)))
        return;
    WriteText(player, TextFor(udn));
}

std::string CVelkTimeServer::TextFor(const std::string& udn) const
{
    const Nls& locale = Nls::UserDefault();
    const CalendarTime now = Date::Now().ToCalendar().value_or(CalendarTime{});
    std::string date;
    std::string time;
    // A picture that cannot be written leaves its part empty; the space stays.
    if (FAILED(locale.GetDateFormat(now, EntryOf(date_formats_, udn), date)))
        date.clear();
    if (FAILED(locale.GetTimeFormat(now, EntryOf(time_formats_, udn), time)))
        time.clear();
    return date + " " + time;
}

HRESULT CVelkTimeServer::Configure(const AddPropSheetPageFn& lpfnAddPage,
                                   std::string_view bstrDeviceUDN, std::string_view)
{
    configured_udn_ = std::string(bstrDeviceUDN);
    auto self = std::static_pointer_cast<CVelkTimeServer>(shared_from_this());
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IVelkDataObject>(self));
}

HRESULT CVelkTimeServer::SaveObjectState(IStream&)
{
    return S_OK;
}

HRESULT CVelkTimeServer::LoadObjectState(IStream&)
{
    return S_OK;
}

HRESULT CVelkTimeServer::SaveDeviceState(IStream& stream,
                                         const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    return WriteTimeFormats(stream, OwnedEntryOf(date_formats_, udn),
                            OwnedEntryOf(time_formats_, udn));
}

HRESULT CVelkTimeServer::LoadDeviceState(IStream& stream,
                                         const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    const Nls& locale = Nls::UserDefault();
    TimeFormats formats;
    hr = ReadTimeFormats(stream, {locale.ShortDatePicture(), locale.TimePicture()}, formats);
    if (FAILED(hr))
        return hr;
    date_formats_[udn] = std::move(formats.date_format);
    time_formats_[udn] = std::move(formats.time_format);
    return S_OK;
}

void CVelkTimeServer::ConfiguredFormats(std::string& date_format, std::string& time_format) const
{
    date_format = OwnedEntryOf(date_formats_, configured_udn_).value_or("");
    time_format = OwnedEntryOf(time_formats_, configured_udn_).value_or("");
}

void CVelkTimeServer::SetConfiguredFormats(std::string date_format, std::string time_format)
{
    date_formats_[configured_udn_] = std::move(date_format);
    time_formats_[configured_udn_] = std::move(time_format);
}

} // namespace velk
