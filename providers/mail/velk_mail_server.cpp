#include "providers/mail/velk_mail_server.h"

#include <algorithm>

#include "platform/apartment.h"
#include "providers/common/companion_module.h"
#include "providers/mail/mail_text.h"

namespace velk {

namespace {

constexpr std::string_view kCurrentMark = "* ";
constexpr std::string_view kOtherMark = "  ";

// An address inside this module, by which its companion module is found.
void ModuleAnchor() {}

// Text from outside never carries a line break or tab into a sketch line.
std::string OneLine(std::string_view text)
{
    std::string line(text);
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return line;
}

void DrawLine(IVelkDevice& player, int row, const MailGeometry& geometry, std::string_view mark,
              std::string_view text)
{
    const Variant x(static_cast<std::uint16_t>(0));
    const Variant y(static_cast<std::uint16_t>(row * geometry.line_height));
    player.Sketch(SketchVerbs::SketchText, x, y, Variant(std::string(mark) + OneLine(text)), {}, {}, {});
}

void FireDataAvailable(const ConnectionPoint<_IVelkDataObjectEvent>& data_event)
{
    data_event.Fire([](_IVelkDataObjectEvent& sink) { return sink.OnDataAvailable(); });
}

MailSession SessionFor(const CPOP3Server& server, const Pop3Limits& limits)
{
    MailSession session;
    session.endpoint = server.Endpoint();
    session.credentials.user_name = server.user_name;
    session.credentials.password = server.password;
    session.limits = limits;
    return session;
}

} // namespace

const Dispatcher<CVelkMailServer>& CVelkMailServer::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CVelkMailServer>("IVelkDataObject")
                                       .Method("Run", 2, &CVelkMailServer::Run)
                                       .Method("Terminate", 3, &CVelkMailServer::Terminate)
                                       .Build();
    return dispatcher;
}

CVelkMailServer::~CVelkMailServer()
{
    worker_.Stop();
}

HRESULT CVelkMailServer::Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                                    std::uint32_t& lpdwPollFrequency)
{
    apartment_ = Apartment::Current();
    InitializeFramework(iHost);
    lpdwPollFrequency = kPollIntervalMs;
    return E_PENDING;
}

HRESULT CVelkMailServer::Start(const std::shared_ptr<IVelkDataHost>&)
{
    ++generation_;
    StartFramework();
    std::weak_ptr<CDataProvider> weak = weak_from_this();
    auto apartment = apartment_;
    worker_.Start(
        [weak, apartment] {
            if (apartment)
                apartment->Post([weak] {
                    if (auto self = weak.lock())
                        static_cast<CVelkMailServer&>(*self).PollAll();
                });
        },
        poll_interval_ms_);
    PollAll();
    RaiseDataAvailable();
    return S_OK;
}

HRESULT CVelkMailServer::Run()
{
    ForEachAcceptingPlayer([this](const std::shared_ptr<IVelkDevice>& player, const std::string& udn) {
        if (auto view = views_.find(udn); view != views_.end())
            Draw(*player, udn, view->second);
    });
    return S_OK;
}

HRESULT CVelkMailServer::Terminate()
{
    worker_.Stop();
    ++generation_;
    TerminateFramework();
    apartment_.reset();
    return S_OK;
}

void CVelkMailServer::RaiseDataAvailable()
{
    FireDataAvailable(*data_event_);
}

void CVelkMailServer::PollAll()
{
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        if (servers_[i]->disabled)
            continue;
        Queue(i, [](const MailSession& session, Event& stop) { return session.Poll(stop); },
              [](CPOP3Server&, Mailbox&, MailSessionResult&) {});
    }
}

bool CVelkMailServer::Queue(std::size_t account,
                            std::function<MailSessionResult(const MailSession&, Event&)> work,
                            std::function<void(CPOP3Server&, Mailbox&, MailSessionResult&)> done)
{
    if (account >= servers_.size() || !apartment_)
        return false;
    std::weak_ptr<CPOP3Server> server = servers_[account];
    std::weak_ptr<CDataProvider> weak = weak_from_this();
    const std::uint64_t generation = generation_;
    auto apartment = apartment_;
    auto session = std::make_shared<MailSession>(SessionFor(*servers_[account], limits_));
    return worker_.Post([=](Event& stop) {
        MailSessionResult result = work(*session, stop);
        apartment->Post([=]() mutable {
            auto self = weak.lock();
            auto account_server = server.lock();
            if (!self || !account_server)
                return;
            auto& provider = static_cast<CVelkMailServer&>(*self);
            if (provider.generation_ != generation)
                return;
            const auto at = std::find(provider.servers_.begin(), provider.servers_.end(), account_server);
            if (at == provider.servers_.end())
                return;
            Mailbox& mailbox = provider.mailboxes_[static_cast<std::size_t>(at - provider.servers_.begin())];
            provider.Settle(*account_server, mailbox, result);
            done(*account_server, mailbox, result);
            provider.RaiseDataAvailable();
        });
    });
}

void CVelkMailServer::Settle(CPOP3Server& server, Mailbox& mailbox, const MailSessionResult& result)
{
    if (result.count >= 0 && result.count != server.last_count) {
        // Messages are numbered anew when the count changes.
        mailbox.subjects.clear();
        mailbox.message_number = 0;
        server.last_count = static_cast<std::int32_t>(result.count);
    }
    const bool failed = FAILED(result.hr) || FAILED(result.login);
    if (!failed) {
        server.login_failure_reported = false;
        return;
    }
    // A refused login that the server does not let count with either will not change by
    // itself: the account rests until its settings change.
    if (result.login == E_ACCESSDENIED && FAILED(result.hr))
        server.disabled = true;
    if (!server.login_failure_reported) {
        server.login_failure_reported = true;
        Report(result.error);
    }
}

void CVelkMailServer::Report(const std::string& message)
{
    std::shared_ptr<IVelkDataService> service;
    if (!host() || FAILED(host()->get_Parent(service)) || !service)
        return;
    const Variant fields(std::vector<Variant>{Variant(std::string(kEventSource)), Variant(message)});
    service->ReportVelkEvent(EventTypes::EventLogError, EventCategories::Object, kEventMailFailed, fields);
}

std::vector<std::int64_t> CVelkMailServer::Counts() const
{
    std::vector<std::int64_t> counts;
    for (const auto& server : servers_)
        counts.push_back(server->last_count);
    return counts;
}

void CVelkMailServer::Draw(IVelkDevice& player, const std::string& udn, MailView& view)
{
    std::int16_t font = 0;
    std::int16_t height = 0;
    std::string type;
    player.get_FontSize(font);
    player.get_ScreenHeight(height);
    player.get_DeviceType(type);
    const MailGeometry geometry = GeometryFor(font, height, type);
    geometries_[udn] = geometry;

    player.Sketch(SketchVerbs::SketchClear, {}, {}, {}, {}, {}, {});
    player.Sketch(SketchVerbs::SketchFont, Variant(geometry.font), {}, {}, {}, {}, {});
    if (servers_.empty())
        return;
    view.account = std::min(view.account, servers_.size() - 1);
    switch (view.level) {
    case MailLevel::Accounts:
        DrawAccounts(player, view, geometry);
        break;
    case MailLevel::Messages:
        DrawMessages(player, view, geometry);
        break;
    case MailLevel::Text:
        DrawText(player, view, geometry);
        break;
    }
}

void CVelkMailServer::DrawAccounts(IVelkDevice& player, const MailView& view, const MailGeometry& geometry)
{
    const auto rows = static_cast<std::size_t>(geometry.lines_per_screen);
    // The list starts at the first account, and scrolls only to keep the current one on screen.
    const std::size_t first = view.account >= rows ? view.account - rows + 1 : 0;
    for (std::size_t i = first; i < servers_.size() && i < first + rows; ++i)
        DrawLine(player, static_cast<int>(i - first), geometry,
                 i == view.account ? kCurrentMark : kOtherMark, servers_[i]->host);
}

void CVelkMailServer::DrawMessages(IVelkDevice& player, MailView& view, const MailGeometry& geometry)
{
    const std::int64_t count = servers_[view.account]->last_count;
    if (count < 1)
        return;
    view.KeepOnScreen(count, geometry.lines_per_screen);
    Mailbox& mailbox = mailboxes_[view.account];
    std::vector<std::uint32_t> missing;
    const std::uint32_t last = static_cast<std::uint32_t>(
        std::min<std::int64_t>(count, view.first_message + geometry.lines_per_screen - 1));
    for (std::uint32_t number = view.first_message; number <= last; ++number) {
        auto subject = mailbox.subjects.find(number);
        if (subject == mailbox.subjects.end())
            missing.push_back(number);
        DrawLine(player, static_cast<int>(number - view.first_message), geometry,
                 number == view.message ? kCurrentMark : kOtherMark,
                 subject == mailbox.subjects.end() ? std::string_view() : subject->second);
    }
    if (missing.empty() || mailbox.subjects_pending)
        return;
    mailbox.subjects_pending = Queue(view.account,
          [missing](const MailSession& session, Event& stop) { return session.Subjects(stop, missing); },
          [](CPOP3Server&, Mailbox& box, MailSessionResult& result) {
              box.subjects_pending = false;
              if (box.subjects.size() + result.subjects.size() > kMaxCachedSubjects)
                  box.subjects.clear();
              box.subjects.merge(result.subjects);
          });
}

void CVelkMailServer::DrawText(IVelkDevice& player, MailView& view, const MailGeometry& geometry)
{
    Mailbox& mailbox = mailboxes_[view.account];
    const auto shown = std::make_pair(view.account, view.message);
    if (view.lines_of != shown) {
        if (mailbox.message_number != view.message) {
            if (!mailbox.message_pending) {
                const std::uint32_t number = view.message;
                mailbox.message_pending = Queue(view.account,
                      [number](const MailSession& session, Event& stop) { return session.Message(stop, number); },
                      [number](CPOP3Server&, Mailbox& box, MailSessionResult& result) {
                          box.message_pending = false;
                          if (!result.has_message)
                              return;
                          box.message_number = number;
                          box.message = std::move(result.message);
                      });
            }
            return;
        }
        view.lines = MessageLines(mailbox.message, static_cast<std::size_t>(geometry.wrap_width));
        view.lines_of = shown;
        view.first_line = 0;
    }
    const auto rows = static_cast<std::size_t>(geometry.lines_per_screen);
    view.first_line = std::min(view.first_line, view.lines.size() > rows ? view.lines.size() - rows : 0);
    for (std::size_t i = view.first_line; i < view.lines.size() && i < view.first_line + rows; ++i)
        DrawLine(player, static_cast<int>(i - view.first_line), geometry, {}, view.lines[i]);
}

KeyOffer CVelkMailServer::OfferKey(const std::string& udn, VelkRemoteKeys key)
{
    auto view = views_.find(udn);
    if (view == views_.end() || servers_.empty())
        return KeyOffer::Accepted;
    auto geometry = geometries_.find(udn);
    const int rows = geometry == geometries_.end() ? 1 : geometry->second.lines_per_screen;
    bool changed = false;
    const MailKey result = view->second.OnKey(key, Counts(), rows, changed);
    if (changed)
        RaiseDataAvailable();
    switch (result) {
    case MailKey::Accepted: {
        // The view is drawn once more at once, off this call.
        timers_.CreateTimer([data_event = data_event_] { FireDataAvailable(*data_event); }, 0, 0);
        return KeyOffer::Accepted;
    }
    case MailKey::Acted:
        return KeyOffer::Kept;
    case MailKey::Ignored:
        break;
    }
    return KeyOffer::Declined;
}

HRESULT CVelkMailServer::Configure(const AddPropSheetPageFn& lpfnAddPage,
                                   std::string_view bstrDeviceUDN, std::string_view)
{
    configured_udn_ = std::string(bstrDeviceUDN);
    auto self = std::static_pointer_cast<CVelkMailServer>(shared_from_this());
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IVelkDataObject>(self));
}

HRESULT CVelkMailServer::SaveObjectState(IStream& stream)
{
    HRESULT hr = WriteMailServers(stream, DataProtection(), servers_);
    return FAILED(hr) ? hr : stream.Commit();
}

HRESULT CVelkMailServer::LoadObjectState(IStream& stream)
{
    MailServers servers;
    HRESULT hr = ReadMailServers(stream, DataProtection(), servers);
    if (FAILED(hr))
        return hr;
    servers_ = std::move(servers);
    mailboxes_.assign(servers_.size(), Mailbox{});
    return S_OK;
}

HRESULT CVelkMailServer::SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    return views_.contains(udn) ? stream.Commit() : S_OK;
}

HRESULT CVelkMailServer::LoadDeviceState(IStream&, const std::shared_ptr<IVelkDevice>& iDevice)
{
    std::string udn;
    HRESULT hr = PlayerUdn(iDevice, udn);
    if (FAILED(hr))
        return hr;
    if (servers_.empty())
        return E_FAIL;
    views_[udn] = MailView::Start(servers_.size());
    DeviceStateLoaded(iDevice);
    return S_OK;
}

HRESULT CVelkMailServer::Advise(std::shared_ptr<_IVelkDataObjectEvent> sink, DWORD& cookie)
{
    return data_event_->Advise(std::move(sink), cookie);
}

HRESULT CVelkMailServer::Unadvise(DWORD cookie)
{
    return data_event_->Unadvise(cookie);
}

bool CVelkMailServer::HasDeviceState(const std::string& udn) const
{
    return views_.contains(udn);
}

void CVelkMailServer::ResetDisplayCursor(const std::string& udn)
{
    if (auto view = views_.find(udn); view != views_.end())
        view->second = MailView::Start(servers_.size());
}

const MailView* CVelkMailServer::ViewOf(const std::string& udn) const
{
    auto view = views_.find(udn);
    return view == views_.end() ? nullptr : &view->second;
}

std::vector<MailServerSettings> CVelkMailServer::Servers() const
{
    std::vector<MailServerSettings> settings;
    for (const auto& server : servers_)
        settings.push_back({server->host, server->user_name, server->password, server->security,
                            server->port, server->trusted_pem});
    return settings;
}

void CVelkMailServer::AddServer(const MailServerSettings& settings)
{
    servers_.push_back(std::make_shared<CPOP3Server>());
    mailboxes_.emplace_back();
    SetServer(servers_.size() - 1, settings);
}

void CVelkMailServer::SetServer(std::size_t index, const MailServerSettings& settings)
{
    if (index >= servers_.size())
        return;
    auto server = std::make_shared<CPOP3Server>();
    server->host = settings.host;
    server->user_name = settings.user_name;
    server->password = settings.password;
    server->security = settings.security;
    server->port = settings.port;
    server->trusted_pem = settings.trusted_pem;
    servers_[index] = std::move(server);
    mailboxes_[index] = Mailbox{};
}

void CVelkMailServer::DeleteServer(std::size_t index)
{
    if (index >= servers_.size())
        return;
    servers_.erase(servers_.begin() + static_cast<std::ptrdiff_t>(index));
    mailboxes_.erase(mailboxes_.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace velk
