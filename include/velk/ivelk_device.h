// The service's object for one player: its shell connection, its display type and size, the
// drawing calls that become the player's sketch lines, tones and URLs, and the state that decides
// who may use the display (standby, a display given up to the player for a while, and when
// provider drawing is welcome). Providers draw through it; scripts reach the RCP session from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "platform/guid.h"
#include "platform/stream.h"
#include "velk/ircp_session.h"
#include "velk/velk_enums.h"

namespace velk {

// {D8EEEC72-5EE6-4E4D-97F1-26EAD8906CFF}
constexpr Guid IID_IVelkDevice{
    0xD8EEEC72, 0x5EE6, 0x4E4D, {0x97, 0xF1, 0x26, 0xEA, 0xD8, 0x90, 0x6C, 0xFF}};
// Coclass VelkDevice, {7E248785-54B2-4B51-B9C0-93E6F6A05AF0}.
constexpr Guid CLSID_VelkDevice{
    0x7E248785, 0x54B2, 0x4B51, {0xB9, 0xC0, 0x93, 0xE6, 0xF6, 0xA0, 0x5A, 0xF0}};

class IVelkDevice : public IDispatchable {
public:
    virtual HRESULT get_UDN(std::string& udn) = 0;
    virtual HRESULT AudioWarble() = 0;
    virtual HRESULT AudioTone(const Variant& nTone, const Variant& sampleFrequency) = 0;
    virtual HRESULT HtPlay(std::string_view bstrURL) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Attract() = 0;
    virtual HRESULT get_DeviceType(std::string& type) = 0;
    virtual HRESULT ScreenSize(std::int16_t& cx, std::int16_t& cy) = 0;
    virtual HRESULT get_Version(std::string& version) = 0;
    virtual HRESULT DrawPicture(std::int32_t x, std::int32_t y, const Variant& vPicture) = 0;
    virtual HRESULT get_FontSize(std::int16_t& size) = 0;
    virtual HRESULT Sketch(SketchVerbs Verb, const Variant& p1, const Variant& p2,
                           const Variant& p3, const Variant& p4, const Variant& p5,
                           const Variant& p6) = 0;
    // Reads the host header of a device-state stream (font size, menu time-out, show-content
    // mode), leaving the stream just after it for the provider's own state.
    virtual HRESULT Load(const std::shared_ptr<IStream>& iStream) = 0;
    virtual HRESULT get_RCPSession(std::shared_ptr<IRCPSession>& session) = 0;
    virtual HRESULT OnShutdown() = 0;
    virtual HRESULT get_Name(std::string& name) = 0;
    virtual HRESULT get_ScreenWidth(std::int16_t& width) = 0;
    virtual HRESULT get_ScreenHeight(std::int16_t& height) = 0;
    virtual HRESULT GiveUpDisplay(std::int16_t Seconds) = 0;
    virtual HRESULT put_StandbyMode(bool standby) = 0;
    virtual HRESULT get_StandbyMode(bool& standby) = 0;
    virtual HRESULT get_IsAcceptingSketch(bool& accepting) = 0;
    virtual HRESULT ShuttingDown() = 0;
};

} // namespace velk
