// The display capture: a live picture of one player's display, handed out by the player's RCP
// session (IRCPSession::get_Display). Clients take the picture as a data object in one of its
// formats and hear of each change through a data advise sink (C++) or the OnDataChange event of
// a dispatch sink (scripts and other programs, through the automation endpoint).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/event_source.h"
#include "platform/guid.h"

namespace velk {

// {339FE2E1-C25D-4260-8A80-7611D23145BD}
constexpr Guid IID_IRCPBitmap{
    0x339FE2E1, 0xC25D, 0x4260, {0x8A, 0x80, 0x76, 0x11, 0xD2, 0x31, 0x45, 0xBD}};

// The forms a data object gives its picture in. Metafiles have no counterpart here: a PNG
// file is what other programs take instead.
enum class DataFormat {
    // A packed DIB (info header and pixels, no file header), as on a clipboard.
    Dib,
    // The same picture as a whole BMP file.
    BmpFile,
    Png,
};

class IDataObject;

// Told whenever the data object's picture changed; called on the data object's apartment.
class IAdviseSink : public IUnknown {
public:
    virtual void OnDataChange(IDataObject& data) = 0;
};

// Not an IUnknown of its own: the capture offers it beside its IRCPBitmap, and a client finds
// it by casting the object that DataObject gives.
class IDataObject {
public:
    virtual ~IDataObject() = default;

    // E_INVALIDARG for a format the object does not offer; E_FAIL while it holds no picture.
    virtual HRESULT GetData(DataFormat format, std::vector<std::uint8_t>& data) = 0;
    virtual HRESULT DAdvise(std::shared_ptr<IAdviseSink> sink, DWORD& cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie that is not advised.
    virtual HRESULT DUnadvise(DWORD cookie) = 0;
};

// The event a dispatch sink of the capture receives: the new picture as a PNG file in base64.
enum RCPBitmapEventDispid : DISPID {
    kDispidOnDataChange = 1,
};

class IRCPBitmap : public IDispatchable, public IEventSource {
public:
    // Writes the picture as a BMP file (created or replaced). "clipboard" (in any case) names
    // the desktop's clipboard, which belongs to the desktop program that shows the picture.
    virtual HRESULT SaveToFile(std::string_view Filename) = 0;
    // Colours as COLORREF values (0x00BBGGRR): lit pixels and dark pixels.
    virtual HRESULT get_ForegroundColor(std::uint32_t& color) = 0;
    virtual HRESULT put_ForegroundColor(std::uint32_t color) = 0;
    virtual HRESULT get_BackgroundColor(std::uint32_t& color) = 0;
    virtual HRESULT put_BackgroundColor(std::uint32_t color) = 0;
    // The object's IDataObject.
    virtual HRESULT get_DataObject(UnknownPtr& data) = 0;
    // Decodes the text of the player's answer to "GetDisplayData" into the picture.
    virtual HRESULT _OnUpdateBitmap(std::string_view bstrData) = 0;
};

} // namespace velk
