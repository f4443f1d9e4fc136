// CRCPBitmap: the live picture of one player's display (IRCPBitmap), handed out by the player's
// RCP session. When the session hears that the display changed, the capture asks the player for
// its display data, decodes the answer into its pixels and tells its data advise sinks and
// dispatch sinks; the picture is drawn in the capture's two colours whenever a client takes it.
//
// Lives in the session's apartment. The player's answer arrives on the session's reader thread
// and reaches the capture as a task posted through the interface table. Owned by the session and
// shared with the clients that took it; it outlives the session harmlessly (no more changes).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/connection_point.h"
#include "rcp/display_data.h"
#include "rcp/rcp_transaction.h"
#include "velk/ircp_bitmap.h"

namespace velk {

class CRCPBitmap : public DispatchImpl<CRCPBitmap, IRCPBitmap>,
                   public IDataObject,
                   public std::enable_shared_from_this<CRCPBitmap> {
public:
    // Sends "GetDisplayData" to the player with the callback for its answer (reader thread).
    using DataRequest = std::function<HRESULT(RcpLineCallback)>;

    // An answer that has not come in this time is taken as lost: the next change asks again.
    static constexpr std::chrono::milliseconds kAnswerWait{10000};
    // Lit pixels in pale blue on black, as the player's own display shows them.
    static constexpr std::uint32_t kDefaultForeground = 0x00FFD080; // COLORREF
    static constexpr std::uint32_t kDefaultBackground = 0x00000000;

    static const Dispatcher<CRCPBitmap>& Dispatch();
    // The capture's event as dispatch sinks receive it, for the automation server to name it.
    static const DispatchTable& EventTable();

    CRCPBitmap();
    ~CRCPBitmap() override;

    // Sizes the picture (all dark) and registers the capture in the interface table with the
    // calling thread's apartment, where the player's answers are decoded.
    HRESULT Initialize(int width, int height, DataRequest request);
    // Leaves the interface table and forgets the request: the session is going away.
    void Shutdown();
    // The player's display changed: asks for its data, one request at a time. A change while
    // a request is out asks again once its answer came.
    void OnUpdateDisplay();

    // IRCPBitmap
    HRESULT SaveToFile(std::string_view Filename) override;
    HRESULT get_ForegroundColor(std::uint32_t& color) override;
    HRESULT put_ForegroundColor(std::uint32_t color) override;
    HRESULT get_BackgroundColor(std::uint32_t& color) override;
    HRESULT put_BackgroundColor(std::uint32_t color) override;
    HRESULT get_DataObject(UnknownPtr& data) override;
    HRESULT _OnUpdateBitmap(std::string_view bstrData) override;

    // IDataObject
    HRESULT GetData(DataFormat format, std::vector<std::uint8_t>& data) override;
    HRESULT DAdvise(std::shared_ptr<IAdviseSink> sink, DWORD& cookie) override;
    HRESULT DUnadvise(DWORD cookie) override;

    // IEventSource: a new sink hears the current picture at once, then every change.
    HRESULT AdviseDispatch(DispatchablePtr sink, DWORD& cookie) override;
    HRESULT UnadviseDispatch(DWORD cookie) override;

    // The picture in the capture's colours; empty while the display's size is unknown.
    Bitmap Render() const;

private:
    void OnAnswer(const std::string& text);
    HRESULT PutColor(std::uint32_t color, std::uint32_t& argb);
    void NotifyChange();
    // The event's argument: the picture as a PNG file in base64.
    std::vector<Variant> EventArgs() const;

    DisplayPixels pixels_;
    std::uint32_t foreground_;
    std::uint32_t background_;
    DataRequest request_;
    DWORD interface_cookie_ = 0;
    bool request_out_ = false;
    bool changed_since_request_ = false;
    std::chrono::steady_clock::time_point requested_at_;

    ConnectionPoint<IAdviseSink> data_sinks_;
    ConnectionPoint<IDispatchable> dispatch_sinks_;
};

} // namespace velk
