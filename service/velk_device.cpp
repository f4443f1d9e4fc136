#include "service/velk_device.h"

#include <algorithm>
#include <array>
#include <optional>

#include "automation/picture.h"
#include "platform/ascii.h"
#include "platform/encoding.h"
#include "platform/error_info.h"
#include "platform/git.h"
#include "rcp/display_sizes.h"
#include "rcp/rcp_session.h"
#include "rcp/reply_lines.h"
#include "service/av_transport_event.h"
#include "velk/ivelk_data_service.h"

namespace velk {

namespace {

constexpr std::string_view kSketchPrefix = "sketch -c ";
constexpr std::string_view kStandbyProcess = "StandbyApp";
constexpr std::string_view kLineEnd = "\r\n";
constexpr int kBitsPerWord = 32;
constexpr std::string_view kAVTransportServiceId = "urn:upnp-org:serviceId:AVTransport";
constexpr std::string_view kRenderingControlServiceId = "urn:upnp-org:serviceId:RenderingControl";
constexpr std::uint32_t kAVTransportInstance = 0;

// The shell's words for the sample rates, by AudioToneFrequencies value; empty: refused.
constexpr std::string_view kToneRates[] = {"48", "44.1", "32", "", "22.05"};

// The ANSI line with its line end; none when the text holds a control character, which would
// end the command early and let the rest of the text run as a second command on the shell.
std::optional<std::string> ShellLine(std::string_view text)
{
    std::string line = ToAnsi(text);
    if (std::any_of(line.begin(), line.end(),
                    [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        return std::nullopt;
    line += kLineEnd;
    return line;
}

// A sketch parameter as text: missing or not convertible is empty.
std::string SketchText(const Variant& value)
{
    std::string text;
    if (value.IsMissing() || FAILED(value.ToString(text)))
        return {};
    return text;
}

std::string Joined(std::string_view word, const std::array<std::string, 6>& p, std::size_t count)
{
    std::string part(word);
    for (std::size_t i = 0; i < count; ++i) {
        part += ' ';
        part += p[i];
    }
    return part;
}

// The verb's part of "sketch -c ..."; text goes between the quotes as it is.
std::optional<std::string> SketchVerbPart(SketchVerbs verb, const std::array<std::string, 6>& p)
{
    switch (verb) {
    case SketchVerbs::SketchRect:
        return Joined("rect", p, 4);
    case SketchVerbs::SketchFrameRect:
        return Joined("framerect", p, 4);
    case SketchVerbs::SketchPoint:
        return Joined("point", p, 2);
    case SketchVerbs::SketchLine:
        return Joined("line", p, 4);
    case SketchVerbs::SketchBlit:
        return Joined("blit", p, 6);
    case SketchVerbs::SketchSlide:
        return Joined("slide", p, 2);
    case SketchVerbs::SketchFont:
        return Joined("font", p, 1);
    case SketchVerbs::SketchColor:
        return Joined("color", p, 1);
    case SketchVerbs::SketchText:
        return "text " + p[0] + " " + p[1] + " \"" + p[2] + "\"";
    case SketchVerbs::SketchMarquee:
        return "marquee -start \"" + p[0] + "\"";
    case SketchVerbs::SketchClear:
        return "clear";
    case SketchVerbs::SketchQuit:
        return "quit";
    }
    return std::nullopt;
}

// The version in the first line of "version": from its first digit up to the blank after it.
std::optional<std::string> VersionFromReply(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return std::nullopt;
    const std::string_view line = lines.front();
    const std::size_t first = line.find_first_of("0123456789");
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = line.find(' ', first);
    return FromAnsi(line.substr(first, end == std::string_view::npos ? end : end - first));
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Calls draw(row, first, end) for each run of pixels whose bit is 0 in the picture's 1-bpp
// form (its dark pixels), end being the first column after the run: bottom row first, left to
// right, a run never crossing a 32-pixel word. Stops at the first failure and returns it.
template <typename Draw> HRESULT ForEachDarkRun(const Bitmap& bitmap, Draw draw)
{
    if (bitmap.empty())
        return S_OK;
    const std::vector<std::uint8_t> dib = bitmap.ToMonochromeDib();
    const std::size_t bits_at = Le32(dib, 0) + 4 * static_cast<std::size_t>(Le32(dib, 32));
    const int width = bitmap.width();
    const std::size_t stride =
        static_cast<std::size_t>((width + kBitsPerWord - 1) / kBitsPerWord) * 4;
    for (int stored = 0; stored < bitmap.height(); ++stored) {
        const int row = bitmap.height() - 1 - stored;
        const std::uint8_t* bits = dib.data() + bits_at + static_cast<std::size_t>(stored) * stride;
        for (int word_start = 0; word_start < width; word_start += kBitsPerWord) {
            const int word_end = std::min(width, word_start + kBitsPerWord);
            int first = -1;
            for (int column = word_start; column <= word_end; ++column) {
                const bool dark =
                    column < word_end && (bits[column / 8] & (0x80u >> (column % 8))) == 0;
                if (dark && first < 0)
                    first = column;
                if (!dark && first >= 0) {
                    HRESULT hr = draw(row, first, column);
                    if (FAILED(hr))
                        return hr;
                    first = -1;
                }
            }
        }
    }
    return S_OK;
}

template <typename T> HRESULT ReadLittleEndian(IStream& stream, T& value)
{
    std::uint8_t bytes[sizeof(T)];
    ULONG read = 0;
    HRESULT hr = stream.Read(bytes, sizeof bytes, read);
    if (FAILED(hr))
        return hr;
    if (read != sizeof bytes)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    value = 0;
    for (std::size_t i = sizeof bytes; i-- > 0;)
        value = static_cast<T>(value << 8 | bytes[i]);
    return S_OK;
}

} // namespace

// Hands the session's remote keys to the device without keeping it alive: the session holds
// its sinks, and the device holds the session.
class CVelkDevice::SessionSink final : public _IRCPSessionEvents {
public:
    explicit SessionSink(std::weak_ptr<CVelkDevice> device) : device_(std::move(device)) {}

    HRESULT OnRemoteKey(VelkRemoteKeys keyCode, bool&) override
    {
        if (auto device = device_.lock())
            device->OnRemoteKey(keyCode);
        return S_OK;
    }
    HRESULT OnUpdateDisplay() override { return S_OK; }
    HRESULT OnUpdateTransportState(RCPTransportStates) override { return S_OK; }
    HRESULT OnUpdatePlayMode() override { return S_OK; }
    HRESULT OnUpdateTrackDetails() override { return S_OK; }
    HRESULT OnUpgradeFirmware(RCPUpgradeState, std::int32_t) override { return S_OK; }

private:
    std::weak_ptr<CVelkDevice> device_;
};

const Dispatcher<CVelkDevice>& CVelkDevice::Dispatch()
{
    using D = CVelkDevice;
    // Optional parameters left out reach the member as missing.
    auto Optional = [](const char* name) { return Arg(name, Variant::Missing()); };
    static const auto dispatcher =
        DispatchBuilder<D>("IVelkDevice")
            .Get("UDN", 0, &D::get_UDN)
            .Method("AudioWarble", 1, &D::AudioWarble)
            .Method("AudioTone", 2, &D::AudioTone, {Optional("nTone"), Optional("sampleFrequency")})
            .Method("HtPlay", 3, &D::HtPlay, {"bstrURL"})
            .Method("Stop", 4, &D::Stop)
            .Method("Attract", 5, &D::Attract)
            .Get("DeviceType", 6, &D::get_DeviceType)
            .Method("ScreenSize", 7,
                    [](D& device, std::vector<Variant>& size) {
                        std::int16_t cx = 0;
                        std::int16_t cy = 0;
                        HRESULT hr = device.ScreenSize(cx, cy);
                        if (SUCCEEDED(hr))
                            size = {Variant(cx), Variant(cy)};
                        return hr;
                    })
            .Get("Version", 8, &D::get_Version)
            .Method("DrawPicture", 9, &D::DrawPicture, {"x", "y", "vPicture"})
            .Get("FontSize", 10, &D::get_FontSize)
            .Method("Sketch", 11, &D::Sketch,
                    {"Verb", Optional("p1"), Optional("p2"), Optional("p3"), Optional("p4"),
                     Optional("p5"), Optional("p6")})
            .Method("Load", 12, &D::Load, {"iStream"})
            .Get("RCPSession", 13, &D::get_RCPSession)
            .Method("OnShutdown", 14, &D::OnShutdown)
            .Get("Name", 15, &D::get_Name)
            .Get("ScreenWidth", 16, &D::get_ScreenWidth)
            .Get("ScreenHeight", 17, &D::get_ScreenHeight)
            .Method("GiveUpDisplay", 18, &D::GiveUpDisplay, {"Seconds"})
            .Property("StandbyMode", 19, &D::get_StandbyMode, &D::put_StandbyMode)
            .Get("IsAcceptingSketch", 20, &D::get_IsAcceptingSketch)
            .Method("ShuttingDown", 21, &D::ShuttingDown)
            .Build();
    return dispatcher;
}

CVelkDevice::CVelkDevice() : apartment_(Apartment::Current()) {}

CVelkDevice::~CVelkDevice() = default;

HRESULT CVelkDevice::Connect(std::string_view host, std::string udn, std::string friendly_name,
                             DWORD service_cookie, std::uint16_t port)
{
    host_ = host.substr(0, kMaxHostChars);
    udn_ = std::move(udn);
    friendly_name_ = std::move(friendly_name);
    service_cookie_ = service_cookie;
    port_ = port;
    return OpenConnection();
}

HRESULT CVelkDevice::OpenConnection()
{
    // Creating the session waits with the apartment's queue running, so calls into this
    // device can arrive meanwhile: they must not start a second connect.
    connecting_ = true;
    const HRESULT hr = ConnectSteps();
    connecting_ = false;
    return hr;
}

HRESULT CVelkDevice::ConnectSteps()
{
    HRESULT hr = telnet_.Connect(port_, host_);
    if (FAILED(hr)) {
        standby_ = true;
        return hr;
    }
    display_type_ = telnet_.display_type();
    OpenUPnPServices();
    // Whoever holds the session keeps it (its sinks, its counted requests): a reconnect
    // renews its connection to the player.
    hr = session_ ? session_->Reconnect(host_) : OpenSession();
    if (FAILED(hr))
        return hr;
    return ReadStandby();
}

void CVelkDevice::OpenUPnPServices()
{
    // Dropping the old services ends their subscriptions: a reconnect renews, never doubles.
    av_transport_.reset();
    rendering_control_.reset();
    if (!upnp_device_)
        return;
    if (SUCCEEDED(UPnPService::Open(*upnp_device_, kAVTransportServiceId, av_transport_))) {
        const std::weak_ptr<CVelkDevice> self = weak_from_this();
        av_transport_->AddCallback([self](const std::string& variable, const std::string& value) {
            if (auto device = self.lock())
                device->OnAVTransportChange(variable, value);
        });
    }
    UPnPService::Open(*upnp_device_, kRenderingControlServiceId, rendering_control_);
}

void CVelkDevice::OnAVTransportChange(const std::string& variable, const std::string& value)
{
    if (!EqualsIgnoringCase(variable, "LastChange"))
        return;
    const auto change = ParseLastChange(value, kAVTransportInstance);
    if (!change)
        return;
    if (change->track) {
        const auto& track = *change->track;
        if (!track.url.empty() && track.database_id && service_cookie_ != 0) {
            auto self = shared_from_this();
            Git::Global().Invoke<IVelkDataService>(service_cookie_, [&](IVelkDataService& root) {
                return root.UpdateITunesPlaycount(self, track.url, track.album, *track.database_id);
            });
        }
        if (session_)
            session_->_OnRCPEvent(RCPEventType::EventTypeTrackDetails, "");
    }
    if (change->transport_state) {
        playing_ = !IsIdleTransportState(*change->transport_state);
        if (session_)
            session_->_OnRCPEvent(RCPEventType::EventTypeTransportState, *change->transport_state);
    }
    if (change->play_mode && session_)
        session_->_OnRCPEvent(RCPEventType::EventTypePlayMode, *change->play_mode);
}

HRESULT CVelkDevice::OpenSession()
{
    auto session = std::make_shared<CRCPSession>();
    HRESULT hr = session->Initialize(shared_from_this(), service_cookie_, host_);
    if (FAILED(hr))
        return hr;
    hr = session->Advise(std::make_shared<SessionSink>(weak_from_this()), session_advise_cookie_);
    if (FAILED(hr)) {
        session->OnShutdown();
        return hr;
    }
    session_ = std::move(session);
    return S_OK;
}

HRESULT CVelkDevice::CloseSession()
{
    if (!session_)
        return S_OK;
    auto session = std::move(session_);
    session->Unadvise(std::exchange(session_advise_cookie_, 0));
    return session->OnShutdown();
}

HRESULT CVelkDevice::ReadStandby()
{
    std::vector<std::string> lines;
    HRESULT hr = telnet_.SendCommand("ps\r\n", true, &lines);
    if (FAILED(hr))
        return hr;
    standby_ = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find(kStandbyProcess) != std::string::npos;
    });
    return S_OK;
}

HRESULT CVelkDevice::Send(std::string_view text, LineKind kind, std::vector<std::string>* reply)
{
    const auto line = ShellLine(text);
    if (!line)
        return ReportError(E_INVALIDARG);
    return SendLine(*line, kind, reply);
}

HRESULT CVelkDevice::SendLine(const std::string& line, LineKind kind,
                              std::vector<std::string>* reply)
{
    if (kind == LineKind::Command || kind == LineKind::GiveUp) {
        if (shutting_down_)
            return ReportError(E_VELK_SHUTTING_DOWN);
        if (kind == LineKind::Command && display_given_up_)
            return S_OK;
    }
    if (kind != LineKind::Direct && connecting_)
        return ReportError(E_PENDING);
    if (kind != LineKind::Direct && reconnect_pending_) {
        // The reconnect stands in for the command, which is not sent on this call. The
        // connection's failures say what went wrong themselves.
        HRESULT hr = OpenConnection();
        if (FAILED(hr))
            return hr;
        reconnect_pending_ = false;
        if (kind != LineKind::Query)
            return hr;
    }
    const HRESULT hr = telnet_.SendCommand(line, true, reply);
    NoteSendResult(hr);
    return hr;
}

void CVelkDevice::NoteSendResult(HRESULT hr)
{
    // A connection that broke, or that the session closed as out of step with the player.
    if (hr == E_RCP_SOCKET || (FAILED(hr) && !telnet_.IsConnected())) {
        if (!reconnect_pending_)
            ReportConnectionLost();
        reconnect_pending_ = true;
    } else if (SUCCEEDED(hr) && hr != S_FALSE) {
        reconnect_pending_ = false;
    }
}

void CVelkDevice::ReportConnectionLost()
{
    if (service_cookie_ == 0)
        return;
    Git::Global().Invoke<IVelkDataService>(service_cookie_, [](IVelkDataService& service) {
        return service.ReportVelkEvent(EventTypes::EventLogWarning, EventCategories::Device,
                                       kEventConnectionLost, Variant());
    });
}

HRESULT CVelkDevice::get_UDN(std::string& udn)
{
    udn = udn_;
    return S_OK;
}

HRESULT CVelkDevice::AudioWarble()
{
    return Send("audiowarble", LineKind::Command);
}

HRESULT CVelkDevice::AudioTone(const Variant& nTone, const Variant& sampleFrequency)
{
    // Left out, both are 0: tone 0 at 48 kHz.
    std::int64_t tone = 0;
    if (!nTone.IsMissing() && (FAILED(nTone.ToInt64(tone)) || !std::in_range<std::int16_t>(tone)))
        return ReportIfFailed(E_INVALIDARG);
    std::int32_t rate = 0;
    if (!sampleFrequency.IsMissing() && FAILED(sampleFrequency.ToInt32(rate)))
        return ReportIfFailed(E_INVALIDARG);
    if (rate < 0 || static_cast<std::size_t>(rate) >= std::size(kToneRates) ||
        kToneRates[rate].empty())
        return ReportIfFailed(E_UNEXPECTED);
    return Send("audiotone " + std::to_string(tone) + " " + std::string(kToneRates[rate]),
                LineKind::Command);
}

HRESULT CVelkDevice::HtPlay(std::string_view bstrURL)
{
    return Send("htplay " + std::string(bstrURL), LineKind::Command);
}

HRESULT CVelkDevice::Stop()
{
    return Send("stop", LineKind::Command);
}

HRESULT CVelkDevice::Attract()
{
    return Send("attract", LineKind::Command);
}

HRESULT CVelkDevice::get_DeviceType(std::string& type)
{
    type = FromAnsi(display_type_);
    return S_OK;
}

HRESULT CVelkDevice::ScreenSize(std::int16_t& cx, std::int16_t& cy)
{
    cx = 0;
    cy = 0;
    if (const DisplaySize* size = FindDisplaySize(display_type_)) {
        cx = size->width;
        cy = size->height;
        return ReportIfFailed(size->hr);
    }
    // Not connected yet, or a display this service does not know: callers read 0 as unknown.
    return S_OK;
}

HRESULT CVelkDevice::get_Version(std::string& version)
{
    std::vector<std::string> lines;
    HRESULT hr = Send("version", LineKind::Query, &lines);
    if (FAILED(hr))
        return hr;
    auto parsed = VersionFromReply(lines);
    if (!parsed)
        return ReportError(E_FAIL, "The player answered version with " +
                                       ReplyExcerpt(lines.empty() ? "" : lines.front()) + ".");
    version = std::move(*parsed);
    return S_OK;
}

HRESULT CVelkDevice::DrawPicture(std::int32_t x, std::int32_t y, const Variant& vPicture)
{
    const UnknownPtr* object = vPicture.Get<UnknownPtr>();
    if (!object)
        return ReportIfFailed(E_NOTIMPL);
    auto picture = std::dynamic_pointer_cast<IPicture>(*object);
    if (!picture)
        return ReportIfFailed(E_INVALIDARG);
    Bitmap bitmap;
    HRESULT hr = picture->GetBitmap(bitmap);
    if (FAILED(hr))
        return ReportIfFailed(hr);
    return ForEachDarkRun(bitmap, [&](int row, int first, int end) {
        // The lines take the display as any other drawing does: a quit is due afterwards.
        quit_sent_ = false;
        const std::int64_t line_y = std::int64_t{y} + row;
        return Send(std::string(kSketchPrefix) + "line " + std::to_string(std::int64_t{x} + first) +
                        " " + std::to_string(line_y) + " " + std::to_string(std::int64_t{x} + end) +
                        " " + std::to_string(line_y),
                    LineKind::Command);
    });
}

HRESULT CVelkDevice::get_FontSize(std::int16_t& size)
{
    size = static_cast<std::int16_t>(font_size_);
    return S_OK;
}

HRESULT CVelkDevice::Sketch(SketchVerbs Verb, const Variant& p1, const Variant& p2,
                            const Variant& p3, const Variant& p4, const Variant& p5,
                            const Variant& p6)
{
    const std::array<std::string, 6> p = {SketchText(p1), SketchText(p2), SketchText(p3),
                                          SketchText(p4), SketchText(p5), SketchText(p6)};
    const auto part = SketchVerbPart(Verb, p);
    if (!part)
        return ReportIfFailed(E_INVALIDARG);
    const auto line = ShellLine(std::string(kSketchPrefix) + *part);
    if (!line)
        return ReportIfFailed(E_INVALIDARG);

    const bool quit = Verb == SketchVerbs::SketchQuit;
    if (quit && quit_sent_)
        return S_OK;
    quit_sent_ = quit;
    const bool direct = quit || Verb == SketchVerbs::SketchClear;
    return SendLine(*line, direct ? LineKind::Direct : LineKind::Command);
}

HRESULT CVelkDevice::Load(const std::shared_ptr<IStream>& iStream)
{
    if (!iStream)
        return ReportIfFailed(E_POINTER);
    // A 16-bit count of the fields that follow, then font size, menu time-out and show-content
    // mode as far as the count goes. Fields a later writer may add have no known width: they
    // are left for the reader after this one.
    std::uint16_t count = 0;
    std::uint16_t font_size = font_size_;
    std::uint32_t menu_timeout_ms = menu_timeout_ms_;
    std::uint16_t show_content_mode = show_content_mode_;
    HRESULT hr = ReadLittleEndian(*iStream, count);
    if (SUCCEEDED(hr) && count >= 1)
        hr = ReadLittleEndian(*iStream, font_size);
    if (SUCCEEDED(hr) && count >= 2)
        hr = ReadLittleEndian(*iStream, menu_timeout_ms);
    if (SUCCEEDED(hr) && count >= 3)
        hr = ReadLittleEndian(*iStream, show_content_mode);
    if (FAILED(hr))
        return ReportIfFailed(hr);
    font_size_ = font_size;
    menu_timeout_ms_ = menu_timeout_ms;
    show_content_mode_ = show_content_mode;
    return S_OK;
}

HRESULT CVelkDevice::get_RCPSession(std::shared_ptr<IRCPSession>& session)
{
    if (!session_) {
        if (connecting_)
            return ReportIfFailed(E_PENDING);
        HRESULT hr = OpenSession();
        if (FAILED(hr))
            return ReportIfFailed(hr);
    }
    session = session_;
    return S_OK;
}

HRESULT CVelkDevice::OnShutdown()
{
    return ReportIfFailed(CloseSession());
}

HRESULT CVelkDevice::get_Name(std::string& name)
{
    name = friendly_name_;
    return S_OK;
}

HRESULT CVelkDevice::get_ScreenWidth(std::int16_t& width)
{
    std::int16_t height = 0;
    return ScreenSize(width, height);
}

HRESULT CVelkDevice::get_ScreenHeight(std::int16_t& height)
{
    std::int16_t width = 0;
    return ScreenSize(width, height);
}

HRESULT CVelkDevice::GiveUpDisplay(std::int16_t Seconds)
{
    if (Seconds < 0)
        return ReportIfFailed(E_INVALIDARG);
    if (shutting_down_)
        return ReportIfFailed(E_VELK_SHUTTING_DOWN);
    // The timer's end comes back through the apartment; without one it never could.
    if (apartment_.expired())
        return ReportIfFailed(CO_E_NOTINITIALIZED);
    if (Seconds != 0)
        menu_timeout_ms_ = static_cast<std::uint32_t>(Seconds) * 1000;
    if (!give_up_queue_)
        give_up_queue_ = std::make_unique<TimerQueue>();
    display_given_up_ = true;
    if (session_)
        session_->put_SuspendIRRouting(true);
    HRESULT hr = Send(std::string(kSketchPrefix) + "marquee -stop", LineKind::GiveUp);
    if (SUCCEEDED(hr))
        hr = Send(std::string(kSketchPrefix) + "quit", LineKind::GiveUp);
    ArmGiveUpTimer();
    return hr;
}

void CVelkDevice::ArmGiveUpTimer()
{
    // The callback only posts, so waiting here for one that runs is short and safe.
    if (give_up_timer_ != 0)
        give_up_queue_->DeleteTimer(give_up_timer_);
    const std::uint64_t generation = ++give_up_generation_;
    give_up_timer_ = give_up_queue_->CreateTimer(
        [apartment = apartment_, device = weak_from_this(), generation] {
            if (auto owner = apartment.lock()) {
                owner->Post([device, generation] {
                    if (auto self = device.lock())
                        self->EndGiveUp(generation);
                });
            }
        },
        menu_timeout_ms_, 0);
}

void CVelkDevice::EndGiveUp(std::uint64_t generation)
{
    if (generation != give_up_generation_)
        return;
    give_up_timer_ = 0;
    display_given_up_ = false;
    if (session_)
        session_->put_SuspendIRRouting(false);
}

void CVelkDevice::OnRemoteKey(VelkRemoteKeys key)
{
    if (key == VelkRemoteKeys::CK_POWER)
        standby_ = !standby_;
    if (display_given_up_)
        ArmGiveUpTimer();
}

HRESULT CVelkDevice::put_StandbyMode(bool standby)
{
    standby_ = standby;
    return Send(standby ? "irman dispatch CK_POWER_OFF" : "irman dispatch CK_POWER_ON",
                LineKind::Command);
}

HRESULT CVelkDevice::get_StandbyMode(bool& standby)
{
    standby = standby_;
    return S_OK;
}

HRESULT CVelkDevice::get_IsAcceptingSketch(bool& accepting)
{
    if (shutting_down_) {
        accepting = false;
        return S_OK;
    }
    switch (show_content_mode_) {
    case kShowInStandby:
        accepting = standby_;
        break;
    case kShowWhileNotPlaying:
        accepting = !playing_;
        break;
    default:
        accepting = true;
        break;
    }
    return S_OK;
}

HRESULT CVelkDevice::ShuttingDown()
{
    shutting_down_ = true;
    return S_OK;
}

} // namespace velk
