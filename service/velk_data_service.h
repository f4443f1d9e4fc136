// CVelkDataService: the service's root object, the one object other programs and the providers
// reach first. It finds the players over UPnP, keeps one player object per player (connected to
// the player's shell and RCP session, following its AVTransport events), tells its sinks when
// players come and go, and writes the event-log records of the whole system.
//
// Lives on the main apartment; the device finder's callbacks, the retry timers and every outside
// call arrive there.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/connection_point.h"
#include "platform/timer_queue.h"
#include "platform/upnp_device_finder.h"
#include "service/provider_hosting.h"
#include "velk/ivelk_data_service.h"

namespace velk {

class CVelkDevice;

// Whether a renderer carries the association of our players, MediaRenderer\Velk (its
// manufacturer, compared as the association key is): only then does a connection that fails
// for a passing reason mean a player still starting, worth trying again.
bool HasPlayerAssociation(const UPnPDeviceInfo& device);

class CVelkDataService : public DispatchImpl<CVelkDataService, IVelkDataService>,
                         public std::enable_shared_from_this<CVelkDataService> {
public:
    static constexpr const char* kMediaRendererType = "urn:schemas-upnp-org:device:MediaRenderer:1";
    // Event-log id written when the device finder cannot be created.
    static constexpr std::uint32_t kEventNoDeviceFinder = 0xC0000107;
    // A player that cannot be reached for a passing reason is tried again after 1 s, 2 s, 4 s,
    // ... up to this, for as long as it stays announced.
    static constexpr std::uint32_t kMaxRetryDelayMs = 60000;

    static const Dispatcher<CVelkDataService>& Dispatch();
    // The player events as dispatch sinks receive them, for the automation server to name them.
    static const DispatchTable& EventTable();

    CVelkDataService();
    ~CVelkDataService() override;

    HRESULT get_VelkDevices(std::shared_ptr<IVelkDevices>& iDevices) override;
    HRESULT ReportVelkEvent(EventTypes type, EventCategories Category, std::uint32_t EventID,
                            const Variant& Fields) override;
    HRESULT get_HostDevices(std::uint32_t HostID, std::shared_ptr<IVelkDevices>& iDevices) override;
    HRESULT get_Hosts(std::shared_ptr<IVelkHosts>& iHosts) override;
    HRESULT Initialize() override;
    HRESULT Terminate() override;
    HRESULT Reload() override;
    HRESULT UpdateITunesPlaycount(const std::shared_ptr<IVelkDevice>& iDevice,
                                  std::string_view bstrURL, std::string_view bstrAlbumTitle,
                                  std::int32_t nDatabaseID) override;
    HRESULT ControlService(ServiceName Service, std::int32_t bState) override;
    HRESULT get_Version(std::string& version) override;
    HRESULT RemoveDevice(std::string_view bstrDeviceUDN) override;

    HRESULT Advise(std::shared_ptr<_IVelkDataServiceEvent> sink, DWORD& cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT AdviseDispatch(DispatchablePtr sink, DWORD& cookie) override;
    HRESULT UnadviseDispatch(DWORD cookie) override;

    // The root object's cookie in the interface table, 0 outside Initialize..Terminate.
    DWORD service_cookie() const { return service_cookie_; }

    // Enters a connected player: loads the providers it lists and attaches it to them, then
    // tells the sinks. The way every announced player comes in once its connection stands.
    void AddPlayer(const std::shared_ptr<CVelkDevice>& player);

private:
    // A player announced but not connected yet, waiting for its next attempt.
    struct Announced {
        UPnPDeviceInfo device;
        std::uint32_t next_delay_ms = 1000;
        TimerQueue::TimerId retry = 0;
    };

    void OnDeviceAdded(long find, const UPnPDeviceInfo& device);
    void OnDeviceRemoved(long find, const std::string& udn);
    // Connects an announced player: entered and announced to the sinks, dropped for good (no
    // player there), or tried again later.
    void ConnectAnnounced(const std::string& udn);
    HRESULT RemovePlayer(std::string_view udn);
    std::shared_ptr<CVelkDevice> ConnectedPlayer(const std::string& udn);
    void FireAddDevice(const std::shared_ptr<IVelkDevice>& player);
    void FireRemoveDevice(const std::shared_ptr<IVelkDevice>& player);

    DWORD service_cookie_ = 0;

    std::recursive_mutex players_lock_;
    std::unordered_map<std::string, std::shared_ptr<CVelkDevice>> players_;
    std::map<std::string, Announced> announced_;
    std::unique_ptr<TimerQueue> retry_timers_;

    std::shared_ptr<UPnPDeviceFinder> finder_;
    long find_ = 0;

    ConnectionPoint<_IVelkDataServiceEvent> sinks_;
    ConnectionPoint<IDispatchable> dispatch_sinks_;

    ProviderHosting hosting_;
};

} // namespace velk
