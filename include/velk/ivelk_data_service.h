// The service's root object as other programs, the providers and scripts reach it first: the
// players, the provider hosts, event-log records and the service's own start, stop and reload.
// Also the identifiers that the service registers for its classes, its AppID, its type library
// and the two provider categories.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "automation/enum_variant.h"
#include "automation/event_source.h"
#include "platform/guid.h"
#include "platform/hresult.h"
#include "platform/unknown.h"
#include "platform/variant.h"
#include "velk/velk_enums.h"

namespace velk {

class IVelkDevice;

// {693B65F0-2154-47A5-A33C-01DA139C8D07}: the players, a snapshot taken when handed out. Item
// takes a position or a UDN.
class IVelkDevices : public IDispatchable {
public:
    virtual HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& players) = 0;
    virtual HRESULT Item(const Variant& Index, std::shared_ptr<IVelkDevice>& player) = 0;
    virtual HRESULT get_Count(std::int32_t& count) = 0;
};

// {964C27C1-9DF5-42F2-A655-E55FCAA71E82}: the provider hosts.
class IVelkHosts : public IDispatchable {
public:
    virtual HRESULT get__NewEnum(std::shared_ptr<IEnumVARIANT>& hosts) = 0;
    virtual HRESULT Item(const Variant& Index, DispatchablePtr& host) = 0;
    virtual HRESULT get_Count(std::int32_t& count) = 0;
};

// {2A3B6C97-F25C-41ED-99BB-612D2E85BE8C}: players coming and going, for sinks written in C++.
// Scripts and other programs get the same events by dispid on a dispatch sink: 1 OnAddDevice,
// 2 OnRemoveDevice, with the player as the argument.
class _IVelkDataServiceEvent : public IUnknown {
public:
    virtual HRESULT OnAddDevice(const std::shared_ptr<IVelkDevice>& iDevice) = 0;
    virtual HRESULT OnRemoveDevice(const std::shared_ptr<IVelkDevice>& iDevice) = 0;
};

enum VelkDataServiceEventDispid : DISPID {
    kDispidOnAddDevice = 1,
    kDispidOnRemoveDevice = 2,
};

// {DB57775E-73F8-4309-AE0A-36C031C0A258}
constexpr Guid IID_IVelkDataService{
    0xDB57775E, 0x73F8, 0x4309, {0xAE, 0x0A, 0x36, 0xC0, 0x31, 0xC0, 0xA2, 0x58}};
// Coclass VelkDataService, {92A19532-9242-4F4B-BB37-999420208A1E}.
constexpr Guid CLSID_VelkDataService{
    0x92A19532, 0x9242, 0x4F4B, {0xBB, 0x37, 0x99, 0x94, 0x20, 0x20, 0x8A, 0x1E}};
// Coclass RCPBitmap (the display capture), {971C5C19-CE48-45BB-A092-5FB9E35843C7}.
constexpr Guid CLSID_RCPBitmap{
    0x971C5C19, 0xCE48, 0x45BB, {0xA0, 0x92, 0x5F, 0xB9, 0xE3, 0x58, 0x43, 0xC7}};
// Coclass RCPRegion, {5FD59ADE-1FD1-4602-BA09-E25702E058B5}.
constexpr Guid CLSID_RCPRegion{
    0x5FD59ADE, 0x1FD1, 0x4602, {0xBA, 0x09, 0xE2, 0x57, 0x02, 0xE0, 0x58, 0xB5}};
// The service program's AppID, {B2CF9A20-8880-4466-8EA7-F0151507BAF1}.
constexpr Guid APPID_Velk{
    0xB2CF9A20, 0x8880, 0x4466, {0x8E, 0xA7, 0xF0, 0x15, 0x15, 0x07, 0xBA, 0xF1}};
// Type library VelkLib 1.0, {259D9A13-A94E-48E9-9971-6EBF8AAC6830}.
constexpr Guid LIBID_VelkLib{
    0x259D9A13, 0xA94E, 0x48E9, {0x99, 0x71, 0x6E, 0xBF, 0x8A, 0xAC, 0x68, 0x30}};
// Providers that draw idle content, {361D8BA1-B0FC-4954-B705-08938E54BAA9}.
constexpr Guid CATID_VelkSynchronousDataServices{
    0x361D8BA1, 0xB0FC, 0x4954, {0xB7, 0x05, 0x08, 0x93, 0x8E, 0x54, 0xBA, 0xA9}};
// Providers triggered by events, {B6104729-944B-477A-AC5C-D63051EA4C77}.
constexpr Guid CATID_VelkAsynchronousDataServices{
    0xB6104729, 0x944B, 0x477A, {0xAC, 0x5C, 0xD6, 0x30, 0x51, 0xEA, 0x4C, 0x77}};

constexpr std::int32_t kServiceOff = 0;
constexpr std::int32_t kServiceOn = 1;

class IVelkDataService : public IDispatchable, public IEventSource {
public:
    virtual HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& iDevices) = 0;
    // Fields: empty or null for a record without strings, otherwise a one-dimensional array
    // whose elements become the insertion strings.
    virtual HRESULT ReportVelkEvent(EventTypes type, EventCategories Category,
                                    std::uint32_t EventID, const Variant& Fields) = 0;
    virtual HRESULT get_HostDevices(std::uint32_t HostID,
                                    std::shared_ptr<IVelkDevices>& iDevices) = 0;
    virtual HRESULT get_Hosts(std::shared_ptr<IVelkHosts>& iHosts) = 0;
    virtual HRESULT Initialize() = 0;
    virtual HRESULT Terminate() = 0;
    virtual HRESULT Reload() = 0;
    virtual HRESULT UpdateITunesPlaycount(const std::shared_ptr<IVelkDevice>& iDevice,
                                          std::string_view bstrURL, std::string_view bstrAlbumTitle,
                                          std::int32_t nDatabaseID) = 0;
    // bState is a BOOL: TRUE (kServiceOn, or VARIANT_TRUE as scripts pass it) starts,
    // kServiceOff stops; other values do nothing.
    virtual HRESULT ControlService(ServiceName Service, std::int32_t bState) = 0;
    virtual HRESULT get_Version(std::string& version) = 0;
    virtual HRESULT RemoveDevice(std::string_view bstrDeviceUDN) = 0;

    // The connection point of the C++ sinks of the player events; dispatch sinks come through
    // IEventSource.
    virtual HRESULT Advise(std::shared_ptr<_IVelkDataServiceEvent> sink, DWORD& cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

} // namespace velk
