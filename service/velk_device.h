// CVelkDevice: the service's object for one player (IVelkDevice). Sends the player's shell
// commands (sketch drawing, pictures, tones, URLs, remote keys) over a shell connection of its
// own and reconnects on the next command after a loss; owns the player's RCP session and
// listens to its remote keys; keeps standby, the display given up to the player for a while,
// and the rule for when provider drawing is welcome.
//
// Lives in the apartment that creates it (the service's main apartment) and is touched only
// there; the give-up timer's thread only posts back to that apartment. The root object owns it.
// Waits on the player keep the apartment serving, so that one player stalls nobody else; a
// shell command that comes in meanwhile goes out once the earlier answer has ended. Failures set
// the thread's error record, saying what the player sent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apartment.h"
#include "platform/timer_queue.h"
#include "platform/upnp_device.h"
#include "platform/upnp_service.h"
#include "rcp/telnet_session.h"
#include "velk/ivelk_device.h"

namespace velk {

class CRCPSession;

class CVelkDevice : public DispatchImpl<CVelkDevice, IVelkDevice>,
                    public std::enable_shared_from_this<CVelkDevice> {
public:
    static constexpr std::uint16_t kDefaultFontSize = 2;
    static constexpr std::uint32_t kDefaultMenuTimeoutMs = 5000;
    static constexpr std::size_t kMaxHostChars = 128;
    // Event-log id of a lost player connection (warning, category Device).
    static constexpr std::uint32_t kEventConnectionLost = 0xC0020102;

    // When provider drawing is welcome (IsAcceptingSketch); other values count as always.
    enum ShowContentMode : std::uint16_t {
        kShowAlways = 0,
        kShowInStandby = 1,
        kShowWhileNotPlaying = 2,
    };

    static const Dispatcher<CVelkDevice>& Dispatch();

    CVelkDevice();
    ~CVelkDevice() override;

    // Opens the shell connection to host (a dotted quad, at most kMaxHostChars are kept) and
    // reads the display type, creates the RCP session and listens to it, and reads standby from
    // the player's process list. A failed shell connection leaves the device in standby. A
    // reconnect after a lost connection runs the same with the stored arguments. The service
    // root object's cookie in the interface table receives the event-log records (0: none).
    HRESULT Connect(std::string_view host, std::string udn, std::string friendly_name,
                    DWORD service_cookie, std::uint16_t port = CTelnetSession::kPlayerPort);

    // The player's UPnP device: Connect follows its AVTransport events (the playing flag, the
    // session's transport, track and play-mode events, play counts) and keeps its
    // RenderingControl.
    void set_upnp_device(UPnPDeviceInfo device) { upnp_device_ = std::move(device); }
    // The player's transport is neither stopped, paused nor without media; its AVTransport
    // events keep it.
    bool playing() const { return playing_; }
    void set_playing(bool playing) { playing_ = playing; }

    // IVelkDevice
    HRESULT get_UDN(std::string& udn) override;
    HRESULT AudioWarble() override;
    HRESULT AudioTone(const Variant& nTone, const Variant& sampleFrequency) override;
    HRESULT HtPlay(std::string_view bstrURL) override;
    HRESULT Stop() override;
    HRESULT Attract() override;
    HRESULT get_DeviceType(std::string& type) override;
    HRESULT ScreenSize(std::int16_t& cx, std::int16_t& cy) override;
    HRESULT get_Version(std::string& version) override;
    HRESULT DrawPicture(std::int32_t x, std::int32_t y, const Variant& vPicture) override;
    HRESULT get_FontSize(std::int16_t& size) override;
    HRESULT Sketch(SketchVerbs Verb, const Variant& p1, const Variant& p2, const Variant& p3,
                   const Variant& p4, const Variant& p5, const Variant& p6) override;
    HRESULT Load(const std::shared_ptr<IStream>& iStream) override;
    HRESULT get_RCPSession(std::shared_ptr<IRCPSession>& session) override;
    HRESULT OnShutdown() override;
    HRESULT get_Name(std::string& name) override;
    HRESULT get_ScreenWidth(std::int16_t& width) override;
    HRESULT get_ScreenHeight(std::int16_t& height) override;
    HRESULT GiveUpDisplay(std::int16_t Seconds) override;
    HRESULT put_StandbyMode(bool standby) override;
    HRESULT get_StandbyMode(bool& standby) override;
    HRESULT get_IsAcceptingSketch(bool& accepting) override;
    HRESULT ShuttingDown() override;

private:
    class SessionSink;

    // How a shell line passes the device's state on its way to the player.
    enum class LineKind {
        // Refused while shutting down, dropped while the display is given up, and replaced by
        // the reconnect while one is pending.
        Command,
        // GiveUpDisplay's own lines: as Command, but they do not yield to the given-up display.
        GiveUp,
        // Version: its answer is wanted, so it is sent after a reconnect too.
        Query,
        // SketchClear and SketchQuit: straight to the connection.
        Direct,
    };

    HRESULT OpenConnection();
    HRESULT ConnectSteps();
    HRESULT OpenSession();
    // Subscribes to the AVTransport events afresh (never twice) and takes RenderingControl.
    void OpenUPnPServices();
    void OnAVTransportChange(const std::string& variable, const std::string& value);
    HRESULT CloseSession();
    HRESULT ReadStandby();

    // Converts text to the ANSI code page and sends it as one line; E_INVALIDARG when it
    // holds a control character. The answer's lines go to reply. Both report their failures.
    HRESULT Send(std::string_view text, LineKind kind, std::vector<std::string>* reply = nullptr);
    // line: ANSI text with its line end.
    HRESULT SendLine(const std::string& line, LineKind kind,
                     std::vector<std::string>* reply = nullptr);
    void NoteSendResult(HRESULT hr);
    void ReportConnectionLost();

    void ArmGiveUpTimer();
    void EndGiveUp(std::uint64_t generation);
    void OnRemoteKey(VelkRemoteKeys key);

    const std::weak_ptr<Apartment> apartment_;
    CTelnetSession telnet_;
    std::string display_type_;
    DWORD service_cookie_ = 0;
    std::string udn_;
    std::string host_;
    std::string friendly_name_;
    std::uint16_t port_ = CTelnetSession::kPlayerPort;

    std::optional<UPnPDeviceInfo> upnp_device_;
    std::shared_ptr<UPnPService> av_transport_;
    std::shared_ptr<UPnPService> rendering_control_;

    std::shared_ptr<CRCPSession> session_;
    DWORD session_advise_cookie_ = 0;

    bool connecting_ = false;
    bool reconnect_pending_ = false;
    bool display_given_up_ = false;
    bool playing_ = false;
    bool standby_ = true;
    bool shutting_down_ = false;
    bool quit_sent_ = true;
    std::uint16_t font_size_ = kDefaultFontSize;
    std::uint16_t show_content_mode_ = kShowAlways;
    std::uint32_t menu_timeout_ms_ = kDefaultMenuTimeoutMs;

    std::unique_ptr<TimerQueue> give_up_queue_;
    TimerQueue::TimerId give_up_timer_ = 0;
    // Tells a posted timer end from one that a later arming has overtaken.
    std::uint64_t give_up_generation_ = 0;
};

} // namespace velk
