#include "providers/callerid/velk_tapi_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/apartment.h"
#include "platform/date.h"
#include "platform/encoding.h"
#include "platform/event_log.h"
#include "platform/nls.h"
#include "platform/reg_key.h"
#include "providers/callerid/tapi_strings.h"
#include "providers/common/companion_module.h"
#include "providers/common/player_text.h"

namespace velk {

namespace {

constexpr std::string_view kGlobalsKey = "SOFTWARE\\Velk\\DataServer\\Globals\\";

// An address inside this module, by which its companion module is found.
void ModuleAnchor() {}

std::string Format104(const std::string& path, const std::string& error)
{
    std::string text = tapi::kOpenFailed;
    const std::size_t first = text.find("%s");
    text.replace(first, 2, path);
    text.replace(text.find("%s", first + path.size()), 2, error);
    return text;
}

std::vector<std::string> ConfiguredLines()
{
    RegKey key;
    std::vector<std::string> devices;
    if (FAILED(key.Open(Hive::LocalMachine, std::string(kGlobalsKey) + CLSID_VelkTAPIServer.ToString())))
        return devices;
    if (SUCCEEDED(key.QueryMultiStringValue(CVelkTAPIServer::kLinesValue, devices)))
        return devices;
    std::string device;
    if (SUCCEEDED(key.QueryStringValue(CVelkTAPIServer::kLinesValue, device)) && !device.empty())
        devices.push_back(device);
    return devices;
}

} // namespace

const Dispatcher<CVelkTAPIServer>& CVelkTAPIServer::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CVelkTAPIServer>("IVelkDataObject")
                                       .Method("Run", 2, &CVelkTAPIServer::Run)
                                       .Method("Terminate", 3, &CVelkTAPIServer::Terminate)
                                       .Build();
    return dispatcher;
}

CVelkTAPIServer::~CVelkTAPIServer()
{
    lines_.clear();
    if (log_fd_ >= 0)
        close(log_fd_);
}

HRESULT CVelkTAPIServer::Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                                    std::uint32_t& lpdwPollFrequency)
{
    apartment_ = Apartment::Current();
    ++generation_;
    InitializeFramework(iHost);
    OpenLog();
    // Only the local address book is a source of names; without it numbers stay as they are.
    if (!(settings_.flags & (kSourceDatabase | kSourceMailbox)))
        book_.Load(book_path_);
    OpenLines();
    lpdwPollFrequency = 0;
    return E_PENDING;
}

HRESULT CVelkTAPIServer::Start(const std::shared_ptr<IVelkDataHost>&)
{
    StartFramework();
    return S_OK;
}

HRESULT CVelkTAPIServer::Run()
{
    if (!current_call_)
        return S_OK;
    const CallerText caller = std::move(*current_call_);
    current_call_.reset();
    bool shown = false;
    ForEachPlayer([&](const std::shared_ptr<IVelkDevice>& player) {
        if (!std::exchange(shown, true))
            Show(*player, caller);
    });
    return S_OK;
}

HRESULT CVelkTAPIServer::Terminate()
{
    lines_.clear();
    ++generation_;
    if (log_fd_ >= 0)
        close(log_fd_);
    log_fd_ = -1;
    book_ = AddressBook{};
    current_call_.reset();
    shown_on_.clear();
    TerminateFramework();
    apartment_.reset();
    return S_OK;
}

void CVelkTAPIServer::OpenLog()
{
    if (!(settings_.flags & kLogToFile) || log_fd_ >= 0)
        return;
    log_fd_ = open(settings_.log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
    if (log_fd_ < 0)
        Report(EventTypes::EventLogError, kEventOpenFailed, Format104(settings_.log_path, std::strerror(errno)));
}

void CVelkTAPIServer::OpenLines()
{
    const std::vector<std::string> devices = devices_ ? *devices_ : ConfiguredLines();
    std::weak_ptr<CDataProvider> weak = weak_from_this();
    auto apartment = apartment_;
    const std::uint64_t generation = generation_;
    for (const auto& device : devices) {
        if (lines_.size() == kMaxLines)
            break;
        // The line's thread hands the call over; only the apartment touches the provider.
        lines_.push_back(OpenTelephonyLine(device, [weak, apartment, generation](const TelephonyCall& call) {
            if (!apartment)
                return;
            apartment->Post([weak, generation, call] {
                auto self = weak.lock();
                if (!self)
                    return;
                auto& provider = static_cast<CVelkTAPIServer&>(*self);
                if (provider.generation_ == generation)
                    provider.OnCall(call);
            });
        }));
    }
}

void CVelkTAPIServer::OnCall(const TelephonyCall& call)
{
    const CallerText caller = ShownCaller(call, book_.Lookup(call.number));
    current_call_ = caller;
    if (log_fd_ >= 0) {
        const Nls& locale = Nls::UserDefault();
        const CalendarTime now = Date::Now().ToCalendar().value_or(CalendarTime{});
        std::string date;
        std::string time;
        locale.GetDateFormat(now, std::nullopt, date);
        locale.GetTimeFormat(now, std::nullopt, time);
        const std::string line = ToAnsi(CallLogLine(date, time, caller));
        // One write per line: with O_APPEND the line lands whole at the end.
        if (write(log_fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            EventLog::ReportText(EventLogType::Warning, "The call could not be written to " + settings_.log_path);
    }
    if (settings_.flags & kLogToEventLog)
        Report(EventTypes::EventLogInformation, kEventCall, CallEventText(caller));
    data_event_->Fire([](_IVelkDataObjectEvent& sink) { return sink.OnDataAvailable(); });
}

void CVelkTAPIServer::Show(IVelkDevice& player, const CallerText& caller)
{
    if (FAILED(player.get_UDN(shown_on_)))
        shown_on_.clear();
    if (settings_.flags & kPauseOnCall) {
        std::shared_ptr<IRCPSession> session;
        if (SUCCEEDED(player.get_RCPSession(session)) && session)
            session->PressRemoteKey(VelkRemoteKeys::CK_PAUSE);
    }
    SelectPlayerFont(player);
    std::int16_t height = 0;
    std::int16_t font = 0;
    player.get_ScreenHeight(height);
    player.get_FontSize(font);
    if (const auto second_y = SecondLineY(height, font)) {
        const Variant left(static_cast<std::uint16_t>(0));
        player.Sketch(SketchVerbs::SketchText, left, left, Variant(caller.name), {}, {}, {});
        player.Sketch(SketchVerbs::SketchText, left, Variant(*second_y), Variant(caller.number), {}, {}, {});
        return;
    }
    ScrollText(player, MarqueeText(caller));
}

void CVelkTAPIServer::Report(EventTypes type, std::uint32_t id, const std::string& text)
{
    std::shared_ptr<IVelkDataService> service;
    if (!host() || FAILED(host()->get_Parent(service)) || !service)
        return;
    const Variant fields(std::vector<Variant>{Variant(std::string(tapi::kTitle)), Variant(text)});
    service->ReportVelkEvent(type, EventCategories::Object, id, fields);
}

HRESULT CVelkTAPIServer::Configure(const AddPropSheetPageFn& lpfnAddPage, std::string_view, std::string_view)
{
    auto self = std::static_pointer_cast<CVelkTAPIServer>(shared_from_this());
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IVelkDataObject>(self));
}

HRESULT CVelkTAPIServer::SaveObjectState(IStream& stream)
{
    HRESULT hr = WriteTapiSettings(stream, settings_);
    return FAILED(hr) ? hr : stream.Commit();
}

HRESULT CVelkTAPIServer::LoadObjectState(IStream& stream)
{
    return ReadTapiSettings(stream, settings_);
}

HRESULT CVelkTAPIServer::SaveDeviceState(IStream&, const std::shared_ptr<IVelkDevice>&)
{
    return S_OK;
}

HRESULT CVelkTAPIServer::LoadDeviceState(IStream&, const std::shared_ptr<IVelkDevice>& iDevice)
{
    DeviceStateLoaded(iDevice);
    return S_OK;
}

HRESULT CVelkTAPIServer::Advise(std::shared_ptr<_IVelkDataObjectEvent> sink, DWORD& cookie)
{
    return data_event_->Advise(std::move(sink), cookie);
}

HRESULT CVelkTAPIServer::Unadvise(DWORD cookie)
{
    return data_event_->Unadvise(cookie);
}

// Every player that lists the provider follows its remote, for the EXIT that gives a shown
// call back.
bool CVelkTAPIServer::HasDeviceState(const std::string&) const
{
    return true;
}

// Between calls the player's keys are its own, EXIT in its menus among them.
KeyOffer CVelkTAPIServer::OfferKey(const std::string& udn, VelkRemoteKeys key)
{
    if (shown_on_.empty() || udn != shown_on_)
        return KeyOffer::Declined;
    if (key == VelkRemoteKeys::CK_EXIT)
        shown_on_.clear();
    return KeyOffer::Accepted;
}

} // namespace velk
