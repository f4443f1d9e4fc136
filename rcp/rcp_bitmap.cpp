#include "rcp/rcp_bitmap.h"

#include <utility>

#include "platform/ascii.h"
#include "platform/base64.h"
#include "platform/error_info.h"
#include "platform/git.h"
#include "platform/png_file.h"

namespace velk {

namespace {

constexpr std::string_view kClipboard = "clipboard";
constexpr std::uint32_t kOpaque = 0xFF000000;

// COLORREF 0x00BBGGRR and ARGB 0xAARRGGBB.
std::uint32_t ArgbOf(std::uint32_t colorref)
{
    return kOpaque | ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

std::uint32_t ColorrefOf(std::uint32_t argb)
{
    return ((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF);
}

} // namespace

const Dispatcher<CRCPBitmap>& CRCPBitmap::Dispatch()
{
    using B = CRCPBitmap;
    static const auto dispatcher =
        DispatchBuilder<B>("IRCPBitmap")
            .Method("SaveToFile", 1, &B::SaveToFile, {"Filename"})
            .Property("ForegroundColor", 2, &B::get_ForegroundColor, &B::put_ForegroundColor)
            .Property("BackgroundColor", 3, &B::get_BackgroundColor, &B::put_BackgroundColor)
            .Get("DataObject", 4, &B::get_DataObject)
            .Method("_OnUpdateBitmap", 5, &B::_OnUpdateBitmap, {"bstrData"})
            .Build();
    return dispatcher;
}

const DispatchTable& CRCPBitmap::EventTable()
{
    static const DispatchTable table = [] {
        DispatchTable events("IRCPBitmap");
        events.Add(MemberDesc{"OnDataChange", kDispidOnDataChange, MemberKind::Method, {}, VT_EMPTY});
        return events;
    }();
    return table;
}

CRCPBitmap::CRCPBitmap()
    : foreground_(ArgbOf(kDefaultForeground)), background_(ArgbOf(kDefaultBackground))
{
}

CRCPBitmap::~CRCPBitmap() = default;

HRESULT CRCPBitmap::Initialize(int width, int height, DataRequest request)
{
    pixels_ = DisplayPixels(width, height);
    request_ = std::move(request);
    return Git::Global().Register(shared_from_this(), interface_cookie_);
}

void CRCPBitmap::Shutdown()
{
    request_ = nullptr;
    if (interface_cookie_ != 0)
        Git::Global().Revoke(std::exchange(interface_cookie_, 0));
}

void CRCPBitmap::OnUpdateDisplay()
{
    if (!request_ || pixels_.lit.empty())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (request_out_ && now - requested_at_ < kAnswerWait) {
        changed_since_request_ = true;
        return;
    }
    const DWORD cookie = interface_cookie_;
    HRESULT hr = request_([cookie](std::string_view value, std::int32_t) {
        Git::Global().Post(cookie, [text = std::string(value)](const UnknownPtr& object) {
            if (auto capture = std::dynamic_pointer_cast<CRCPBitmap>(object))
                capture->OnAnswer(text);
        });
        return S_OK;
    });
    request_out_ = SUCCEEDED(hr);
    changed_since_request_ = false;
    requested_at_ = now;
}

void CRCPBitmap::OnAnswer(const std::string& text)
{
    request_out_ = false;
    _OnUpdateBitmap(text);
    if (std::exchange(changed_since_request_, false))
        OnUpdateDisplay();
}

HRESULT CRCPBitmap::_OnUpdateBitmap(std::string_view bstrData)
{
    // An answer that cannot be read leaves the picture as it was.
    if (DecodeDisplayData(bstrData, pixels_))
        NotifyChange();
    return S_OK;
}

Bitmap CRCPBitmap::Render() const
{
    if (pixels_.lit.empty())
        return {};
    Bitmap picture(pixels_.width, pixels_.height, background_);
    for (int y = 0; y < pixels_.height; ++y) {
        for (int x = 0; x < pixels_.width; ++x) {
            if (pixels_.Lit(x, y))
                picture.SetPixel(x, y, foreground_);
        }
    }
    return picture;
}

HRESULT CRCPBitmap::SaveToFile(std::string_view Filename)
{
    if (EqualsIgnoringCase(Filename, kClipboard)) {
        return ReportError(E_NOTIMPL, "The service has no desktop: the program that shows the "
                                      "display puts the picture on its clipboard.");
    }
    const Bitmap picture = Render();
    if (picture.empty())
        return ReportError(E_FAIL, "The player's display size is not known.");
    return ReportIfFailed(picture.SaveBmpFile(std::string(Filename)));
}

HRESULT CRCPBitmap::PutColor(std::uint32_t color, std::uint32_t& argb)
{
    // No system palette here: only plain RGB values name a colour.
    if ((color & 0xFF000000) != 0)
        return ReportError(E_INVALIDARG, "Colours are RGB values (0x00BBGGRR).");
    const std::uint32_t previous = std::exchange(argb, ArgbOf(color));
    if (previous != argb)
        NotifyChange();
    return S_OK;
}

HRESULT CRCPBitmap::get_ForegroundColor(std::uint32_t& color)
{
    color = ColorrefOf(foreground_);
    return S_OK;
}

HRESULT CRCPBitmap::put_ForegroundColor(std::uint32_t color) { return PutColor(color, foreground_); }

HRESULT CRCPBitmap::get_BackgroundColor(std::uint32_t& color)
{
    color = ColorrefOf(background_);
    return S_OK;
}

HRESULT CRCPBitmap::put_BackgroundColor(std::uint32_t color) { return PutColor(color, background_); }

HRESULT CRCPBitmap::get_DataObject(UnknownPtr& data)
{
    data = shared_from_this();
    return S_OK;
}

HRESULT CRCPBitmap::GetData(DataFormat format, std::vector<std::uint8_t>& data)
{
    const Bitmap picture = Render();
    if (picture.empty())
        return E_FAIL;
    switch (format) {
    case DataFormat::Dib:
        data = picture.ToDib();
        return S_OK;
    case DataFormat::BmpFile:
        data = picture.ToBmpFile();
        return S_OK;
    case DataFormat::Png:
        data = EncodePng(picture);
        return data.empty() ? E_OUTOFMEMORY : S_OK;
    }
    return E_INVALIDARG;
}

HRESULT CRCPBitmap::DAdvise(std::shared_ptr<IAdviseSink> sink, DWORD& cookie)
{
    return data_sinks_.Advise(std::move(sink), cookie);
}

HRESULT CRCPBitmap::DUnadvise(DWORD cookie) { return data_sinks_.Unadvise(cookie); }

HRESULT CRCPBitmap::AdviseDispatch(DispatchablePtr sink, DWORD& cookie)
{
    HRESULT hr = dispatch_sinks_.Advise(sink, cookie);
    if (FAILED(hr) || pixels_.lit.empty())
        return hr;
    auto args = EventArgs();
    Variant ignored;
    sink->Invoke(kDispidOnDataChange, MemberKind::Method, args, ignored);
    return hr;
}

HRESULT CRCPBitmap::UnadviseDispatch(DWORD cookie) { return dispatch_sinks_.Unadvise(cookie); }

std::vector<Variant> CRCPBitmap::EventArgs() const
{
    return {Variant(Base64Encode(EncodePng(Render())))};
}

void CRCPBitmap::NotifyChange()
{
    data_sinks_.Fire([this](IAdviseSink& sink) {
        sink.OnDataChange(*this);
        return S_OK;
    });
    if (dispatch_sinks_.Sinks().empty())
        return;
    auto args = EventArgs();
    dispatch_sinks_.Fire([&args](IDispatchable& sink) {
        Variant ignored;
        return sink.Invoke(kDispidOnDataChange, MemberKind::Method, args, ignored);
    });
}

} // namespace velk
