// The contract between the service and a data provider: a class in a plug-in module that the
// service creates by class id and drives to put information on the players' displays. The
// service calls, in this order: LoadObjectState (when the provider is configurable and its
// object state exists), advises its sink on the provider's data event (when it offers one),
// Initialize, Start, LoadDeviceState for each player that lists it (after the player's own
// Load of the same stream), Run (polled, or after OnDataAvailable), Terminate. Every call runs
// on the service's main apartment, one at a time.
//
// Settings live under HKLM: the object state at SOFTWARE\Velk\DataServer\Globals\{CLSID} value
// "Parameters", a player's device state at the subkey {CLSID} of
// SOFTWARE\Velk\DataServer\DataProviders\<player key>, value "Parameters" (the player key is
// its UDN without "uuid:"), and the providers a player shows in the "Classes" value of its key
// (REG_SZ or REG_MULTI_SZ of class ids).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/event_source.h"
#include "platform/event.h"
#include "platform/guid.h"
#include "platform/stream.h"
#include "velk/property_sheet_page.h"
#include "velk/ivelk_data_service.h"
#include "velk/ivelk_device.h"

namespace velk {

// {D2F87BD7-3178-4400-8EA2-2486E5B9C719}
constexpr Guid IID_IVelkDataObject{
    0xD2F87BD7, 0x3178, 0x4400, {0x8E, 0xA2, 0x24, 0x86, 0xE5, 0xB9, 0xC7, 0x19}};
// {6FDFF663-EA16-4937-884D-FAE9E10EDE3A}
constexpr Guid IID_IConfigureVelkDataObject{
    0x6FDFF663, 0xEA16, 0x4937, {0x88, 0x4D, 0xFA, 0xE9, 0xE1, 0x0E, 0xDE, 0x3A}};
// {DC9BBF64-9CD3-4245-94AB-527D2A78EFDF}
constexpr Guid IID__IVelkDataObjectEvent{
    0xDC9BBF64, 0x9CD3, 0x4245, {0x94, 0xAB, 0x52, 0x7D, 0x2A, 0x78, 0xEF, 0xDF}};
// {A481B9B7-7F83-4E35-ADB6-789ED01F5EC4}
constexpr Guid IID_IVelkDataHost{
    0xA481B9B7, 0x7F83, 0x4E35, {0xAD, 0xB6, 0x78, 0x9E, 0xD0, 0x1F, 0x5E, 0xC4}};
// Coclass VelkDataHost, {63093C32-78D0-48A8-BA30-61DB6EF3DB83}.
constexpr Guid CLSID_VelkDataHost{
    0x63093C32, 0x78D0, 0x48A8, {0xBA, 0x30, 0x61, 0xDB, 0x6E, 0xF3, 0xDB, 0x83}};

// Polling frequency meaning "do not poll me; I raise OnDataAvailable".
constexpr std::uint32_t kNoPolling = 0xFFFFFFFF;

class IVelkDataObject;

// The service's side of one loaded provider class.
class IVelkDataHost : public IDispatchable {
public:
    // The players this provider serves.
    virtual HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& devices) = 0;
    // The provider itself; E_FAIL when it is not loaded.
    virtual HRESULT get_Object(std::shared_ptr<IVelkDataObject>& object) = 0;
    virtual HRESULT get_CLSID(Guid& clsid) = 0;
    // Milliseconds between Run calls; kNoPolling for a provider that raises OnDataAvailable.
    virtual HRESULT get_PollingFrequency(std::uint32_t& interval) = 0;
    virtual HRESULT Terminate() = 0;
    virtual HRESULT get_Parent(std::shared_ptr<IVelkDataService>& service) = 0;
    virtual HRESULT get_Cookie(std::uint32_t& cookie) = 0;
    // The host's data-available event (set by the provider's OnDataAvailable).
    virtual HRESULT get_Handle(std::shared_ptr<Event>& event) = 0;
    virtual HRESULT get_Status(HostStatus& status) = 0;
    virtual HRESULT Reload() = 0;
};

// What a provider implements.
class IVelkDataObject : public IDispatchable {
public:
    // Keeps the host; writes the interval at which it wants Run, or returns E_PENDING to be run
    // only after OnDataAvailable.
    virtual HRESULT Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                               std::uint32_t& lpdwPollFrequency) = 0;
    virtual HRESULT Start(const std::shared_ptr<IVelkDataHost>& iHost) = 0;
    // Draws on the host's players.
    virtual HRESULT Run() = 0;
    virtual HRESULT Terminate() = 0;
};

// What a configurable provider implements besides (not an automation interface). Configure
// and the two saves belong to the configuration side, which shows the provider's pages and
// writes the streams; the service only loads.
class IConfigureVelkDataObject : public IUnknown {
public:
    // Hands the provider's pages for the player to the sheet through lpfnAddPage; the pages
    // edit the provider's settings for that player.
    virtual HRESULT Configure(const AddPropSheetPageFn& lpfnAddPage, std::string_view bstrDeviceUDN,
                              std::string_view bstrDeviceModel) = 0;
    virtual HRESULT SaveObjectState(IStream& stream) = 0;
    virtual HRESULT LoadObjectState(IStream& stream) = 0;
    virtual HRESULT SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) = 0;
    virtual HRESULT LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) = 0;
};

// The provider's event, for the host's sink.
class _IVelkDataObjectEvent : public IUnknown {
public:
    virtual HRESULT OnDataAvailable() = 0;
};

// A provider that raises OnDataAvailable offers this connection point.
class IVelkDataObjectEventSource {
public:
    virtual ~IVelkDataObjectEventSource() = default;
    virtual HRESULT Advise(std::shared_ptr<_IVelkDataObjectEvent> sink, DWORD& cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

} // namespace velk
