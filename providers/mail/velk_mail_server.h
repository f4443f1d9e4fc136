// The mail provider: lets the players browse the POP3 mailboxes of the machine's accounts with
// the remote: the accounts, an account's messages by subject, and one message's text scrolled
// line by line. Its accounts are its object state; a player is configured for mail by its
// device state (which is empty) and has a view of its own. The POP3 sessions run on a
// MailWorker; their results come back to the provider's apartment, which keeps what the views
// need and raises OnDataAvailable, after which the host runs the provider to draw. Created by
// class id in the service's main apartment; everything but the sessions runs there.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/connection_point.h"
#include "platform/timer_queue.h"
#include "providers/common/data_provider.h"
#include "providers/mail/mail_geometry.h"
#include "providers/mail/mail_server_settings.h"
#include "providers/mail/mail_servers_state.h"
#include "providers/mail/mail_session.h"
#include "providers/mail/mail_view.h"
#include "providers/mail/mail_worker.h"
#include "velk/velk_data_object.h"

namespace velk {

class Apartment;

// {DC347D9C-CCC6-4F9A-AEF7-F69365E7F635}
constexpr Guid CLSID_VelkMailServer{
    0xDC347D9C, 0xCCC6, 0x4F9A, {0xAE, 0xF7, 0xF6, 0x93, 0x65, 0xE7, 0xF6, 0x35}};

class CVelkMailServer : public DispatchImpl<CVelkMailServer, IVelkDataObject>,
                        public IConfigureVelkDataObject,
                        public IVelkDataObjectEventSource,
                        public IMailServerSettings,
                        public CDataProvider {
public:
    // What Initialize writes; the host does not poll the provider (E_PENDING). The accounts
    // are counted again this often.
    static constexpr std::uint32_t kPollIntervalMs = 60000;
    // The event-log record of an account that cannot be polled, once until it can again.
    static constexpr std::uint32_t kEventMailFailed = 0xC0020103;
    static constexpr const char* kEventSource = "Velk Mail Service";
    // Subjects kept per account; beyond, the list is fetched again.
    static constexpr std::size_t kMaxCachedSubjects = 1024;

    static const Dispatcher<CVelkMailServer>& Dispatch();

    CVelkMailServer() : CDataProvider(ProviderKind::Feed) {}
    ~CVelkMailServer() override;

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

    std::vector<MailServerSettings> Servers() const override;
    void AddServer(const MailServerSettings& settings) override;
    void SetServer(std::size_t index, const MailServerSettings& settings) override;
    void DeleteServer(std::size_t index) override;

    // The limits of the POP3 sessions, and how often the accounts are counted (tests shorten
    // them); before Start.
    void SetLimits(const Pop3Limits& limits) { limits_ = limits; }
    void SetPollInterval(std::uint32_t interval_ms) { poll_interval_ms_ = interval_ms; }
    // The view of a player, for tests and the benchmark; none when it is not configured.
    const MailView* ViewOf(const std::string& udn) const;

protected:
    bool HasDeviceState(const std::string& udn) const override;
    void ResetDisplayCursor(const std::string& udn) override;
    KeyOffer OfferKey(const std::string& udn, VelkRemoteKeys key) override;

private:
    // What the provider keeps of an account's mailbox for the views.
    struct Mailbox {
        std::map<std::uint32_t, std::string> subjects;
        bool subjects_pending = false;
        std::uint32_t message_number = 0; // of message; 0: none
        MailMessage message;
        bool message_pending = false;
    };

    void RaiseDataAvailable();
    void PollAll();
    // Runs session work for the account on the worker; done gets the result on the apartment.
    // False when the work could not be queued (and done will not be called).
    bool Queue(std::size_t account, std::function<MailSessionResult(const MailSession&, Event&)> work,
               std::function<void(CPOP3Server&, Mailbox&, MailSessionResult&)> done);
    // What every session tells of the account: its count, and failures reported once.
    void Settle(CPOP3Server& server, Mailbox& mailbox, const MailSessionResult& result);
    void Report(const std::string& message);

    void Draw(IVelkDevice& player, const std::string& udn, MailView& view);
    void DrawAccounts(IVelkDevice& player, const MailView& view, const MailGeometry& geometry);
    void DrawMessages(IVelkDevice& player, MailView& view, const MailGeometry& geometry);
    void DrawText(IVelkDevice& player, MailView& view, const MailGeometry& geometry);
    std::vector<std::int64_t> Counts() const;

    MailServers servers_;
    std::vector<Mailbox> mailboxes_; // beside servers_
    std::map<std::string, MailView> views_; // by player UDN, exact
    std::map<std::string, MailGeometry> geometries_; // of each player's last drawing
    // Shared with the redraw timer's callbacks, which outlive no provider call but may run after
    // the provider has gone.
    const std::shared_ptr<ConnectionPoint<_IVelkDataObjectEvent>> data_event_ =
        std::make_shared<ConnectionPoint<_IVelkDataObjectEvent>>();
    std::shared_ptr<Apartment> apartment_;
    Pop3Limits limits_;
    std::uint32_t poll_interval_ms_ = kPollIntervalMs;
    std::string configured_udn_;
    std::uint64_t generation_ = 0; // results of an earlier start are dropped
    MailWorker worker_;
    TimerQueue timers_;
};

} // namespace velk
