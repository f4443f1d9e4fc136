// The caller-ID provider: watches the machine's telephony lines and, when a call comes in,
// shows the caller on the first player it serves (pausing the music when set), writes the call
// to its log file and to the event log. Numbers are translated into names by the address book.
// The lines report calls on their own threads; each call is handed to the provider's apartment
// (the service's main apartment, where the provider is created by class id and used), which
// keeps it and raises OnDataAvailable, after which the host runs the provider to draw it.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/connection_point.h"
#include "platform/telephony.h"
#include "providers/callerid/address_book.h"
#include "providers/callerid/call_text.h"
#include "providers/callerid/tapi_settings_access.h"
#include "providers/common/data_provider.h"
#include "velk/velk_data_object.h"

namespace velk {

class Apartment;

// {71BBF737-52C6-49EB-855A-6F957546B3BC}
constexpr Guid CLSID_VelkTAPIServer{
    0x71BBF737, 0x52C6, 0x49EB, {0x85, 0x5A, 0x6F, 0x95, 0x75, 0x46, 0xB3, 0xBC}};

class CVelkTAPIServer : public DispatchImpl<CVelkTAPIServer, IVelkDataObject>,
                        public IConfigureVelkDataObject,
                        public IVelkDataObjectEventSource,
                        public ITapiSettings,
                        public CDataProvider {
public:
    // The event-log records: a log file that cannot be opened, and a call.
    static constexpr std::uint32_t kEventOpenFailed = 0xC0020103;
    static constexpr std::uint32_t kEventCall = 0x40020104;
    // The provider's lines: a value of its globals key (REG_MULTI_SZ or REG_SZ), each a serial
    // device or "script:" and a file of modem reports.
    static constexpr const char* kLinesValue = "Lines";
    // Lines watched at most.
    static constexpr std::size_t kMaxLines = 16;

    static const Dispatcher<CVelkTAPIServer>& Dispatch();

    CVelkTAPIServer() : CDataProvider(ProviderKind::Feed) {}
    ~CVelkTAPIServer() override;

    HRESULT Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                       std::uint32_t& lpdwPollFrequency) override;
    HRESULT Start(const std::shared_ptr<IVelkDataHost>& iHost) override;
    HRESULT Run() override;
    HRESULT Terminate() override;

    HRESULT Configure(const AddPropSheetPageFn& lpfnAddPage, std::string_view bstrDeviceUDN,
                      std::string_view bstrDeviceModel) override;
    HRESULT SaveObjectState(IStream& stream) override;
    HRESULT LoadObjectState(IStream& stream) override;
    HRESULT SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;
    HRESULT LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;

    HRESULT Advise(std::shared_ptr<_IVelkDataObjectEvent> sink, DWORD& cookie) override;
    HRESULT Unadvise(DWORD cookie) override;

    TapiSettings Settings() const override { return settings_; }
    void SetSettings(const TapiSettings& settings) override { settings_ = settings; }
    std::string AddressBookPath() const override { return book_path_; }

    // Another book file, and lines other than the settings' (tests); before Initialize.
    void SetAddressBookPath(std::string path) { book_path_ = std::move(path); }
    void SetLines(std::vector<std::string> devices) { devices_ = std::move(devices); }

    // A call as a line reports it; the provider's apartment.
    void OnCall(const TelephonyCall& call);

protected:
    bool HasDeviceState(const std::string& udn) const override;
    KeyOffer OfferKey(const std::string& udn, VelkRemoteKeys key) override;

private:
    void OpenLog();
    void OpenLines();
    void Report(EventTypes type, std::uint32_t id, const std::string& text);
    void Show(IVelkDevice& player, const CallerText& caller);

    TapiSettings settings_;
    std::string book_path_ = AddressBook::DefaultPath();
    std::optional<std::vector<std::string>> devices_; // none: from the settings
    AddressBook book_;
    int log_fd_ = -1;
    std::optional<CallerText> current_call_; // not shown yet
    std::string shown_on_; // the UDN of the player that shows a call; empty when none does
    std::shared_ptr<Apartment> apartment_;
    std::vector<std::unique_ptr<TelephonyLine>> lines_;
    std::uint64_t generation_ = 0; // calls of an earlier Initialize are dropped
    const std::shared_ptr<ConnectionPoint<_IVelkDataObjectEvent>> data_event_ =
        std::make_shared<ConnectionPoint<_IVelkDataObjectEvent>>();
};

} // namespace velk
