#include "automation/automation_server.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <string_view>
#include <sys/random.h>
#include <utility>
#include <vector>

#include "automation/event_source.h"
#include "automation/http_server.h"
#include "automation/json_document.h"
#include "automation/json_value.h"
#include "automation/request_origin.h"
#include "platform/ascii.h"
#include "platform/base64.h"
#include "platform/error_info.h"
#include "platform/hex.h"

namespace velk {

namespace {

using nlohmann::json;

constexpr const char* kSessionHeader = "X-Velk-Session";
constexpr const char* kJsonType = "application/json";
// Browsers ask their user for basic credentials; the token is the password.
constexpr const char* kBrowserChallenge = "Basic realm=\"Velk\", charset=\"UTF-8\"";
// Each open stream holds one HTTP thread; the others stay free for calls.
constexpr std::size_t kMaxSessions = 16;
// A client that leaves this many events unread loses its stream (and session) rather than
// growing the server without bound.
constexpr std::size_t kMaxQueuedEvents = 4096;
// A comment line on a quiet stream, so that a client notices a server gone silently.
constexpr std::uint32_t kKeepAliveCommentMs = 15000;
constexpr std::size_t kSessionIdBytes = 16;

constexpr int kStatusOk = 200;
constexpr int kStatusBadRequest = 400;
constexpr int kStatusUnauthorized = 401;
constexpr int kStatusForbidden = 403;
constexpr int kStatusUnsupportedType = 415;
constexpr int kStatusInternalError = 500;
constexpr int kStatusUnavailable = 503;

// Puts of these boolean properties are requests that every session counts, so that the requests
// of a client that goes away can be taken back.
constexpr std::string_view kCountedProperties[] = {"MonitorRemoteKey", "MonitorDisplay"};
// Members that write a file named by the caller: the service may run as root.
constexpr std::string_view kFileWritingPrefix = "SaveTo";

struct Reply {
    int status = kStatusOk;
    json body;
};

Reply BadRequest(std::string message)
{
    return {kStatusBadRequest, json{{"message", std::move(message)}}};
}

// A failed member, with the thread's error record when the member left one.
Reply Failure(HRESULT hr)
{
    json body{{"hresult", hr}, {"message", HResultMessage(hr)}};
    if (auto info = GetErrorInfo()) {
        body["description"] = info->description;
        body["source"] = info->source;
        body["helpFile"] = info->help_file;
        body["helpContext"] = info->help_context;
    }
    return {kStatusOk, std::move(body)};
}

void Send(httplib::Response& res, const Reply& reply)
{
    res.status = reply.status;
    res.set_content(JsonText(reply.body), kJsonType);
}

// Handles are unique in the process, so that a handle of one session never names another
// session's object.
std::uint64_t NewHandle()
{
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

std::optional<std::string> NewSessionId()
{
    unsigned char bytes[kSessionIdBytes];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        got += static_cast<std::size_t>(n);
    }
    std::string id;
    for (unsigned char byte : bytes)
        AppendHexByte(id, byte);
    return id;
}

bool IsLoopback(const std::string& address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

bool ConstantTimeEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

// The token as a request gives it: "Bearer <token>", or from a browser basic authentication
// with the token as password (the user name does not count).
bool CarriesToken(std::string_view authorization, std::string_view token)
{
    constexpr std::string_view kBearer = "Bearer ";
    constexpr std::string_view kBasic = "Basic ";
    if (authorization.starts_with(kBearer))
        return ConstantTimeEquals(authorization.substr(kBearer.size()), token);
    if (!authorization.starts_with(kBasic))
        return false;
    const auto credentials = Base64Decode(authorization.substr(kBasic.size()));
    if (!credentials)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(credentials->data()),
                                credentials->size());
    const auto colon = text.find(':');
    return colon != std::string_view::npos && ConstantTimeEquals(text.substr(colon + 1), token);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// "application/json; charset=utf-8" -> "application/json".
std::string_view TrimmedMediaType(std::string_view type)
{
    type = type.substr(0, type.find(';'));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.remove_suffix(1);
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t'))
        type.remove_prefix(1);
    return type;
}

bool IsCountedProperty(std::string_view name)
{
    for (auto counted : kCountedProperties) {
        if (EqualsIgnoringCase(name, counted))
            return true;
    }
    return false;
}

std::optional<std::uint64_t> HandleOf(const json& value)
{
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>();
    return std::nullopt;
}

std::optional<std::uint64_t> HandleFromText(std::string_view text)
{
    std::uint64_t handle = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), handle);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return handle;
}



// How a session advises and unadvises an object's events.
struct EventSourceCalls {
    std::function<HRESULT(DispatchablePtr sink, DWORD& cookie)> advise;
    std::function<HRESULT(DWORD cookie)> unadvise;
};

std::optional<EventSourceCalls> EventSourceOf(const UnknownPtr& object)
{
    if (auto source = std::dynamic_pointer_cast<IEventSource>(object)) {
        return EventSourceCalls{
            [source](DispatchablePtr sink, DWORD& cookie) {
                return source->AdviseDispatch(std::move(sink), cookie);
            },
            [source](DWORD cookie) { return source->UnadviseDispatch(cookie); }};
    }
    return std::nullopt;
}

// What one client holds: its handles, its counted requests, its advised sinks, and the events
// waiting for its stream. The tables are touched on the apartment's thread only; the event
// queue on any thread.
class ClientSession : public std::enable_shared_from_this<ClientSession> {
public:
    struct CountedRequest {
        DispatchablePtr object;
        DISPID dispid;
        int outstanding = 0;
    };

    // An empty id: the session of one call.
    ClientSession(std::string id, UnknownPtr root) : id_(std::move(id)), root_(std::move(root)) {}

    const std::string& id() const { return id_; }
    bool closed() const { return closed_; }

    UnknownPtr Find(std::uint64_t handle) const
    {
        if (handle == 0)
            return root_;
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : it->second;
    }

    // The object's handle, the same each time the session receives the object.
    std::uint64_t Enter(const UnknownPtr& object)
    {
        if (object == root_)
            return 0;
        auto [it, added] = handles_.try_emplace(object.get(), 0);
        if (added) {
            it->second = NewHandle();
            objects_.emplace(it->second, object);
        }
        return it->second;
    }

    CountedRequest& Counted(const DispatchablePtr& object, DISPID dispid)
    {
        for (auto& request : counted_) {
            if (request.object == object && request.dispid == dispid)
                return request;
        }
        return counted_.emplace_back(CountedRequest{object, dispid, 0});
    }

    bool IsAdvised(std::uint64_t handle) const
    {
        for (const auto& advice : advised_) {
            if (advice.first == handle)
                return true;
        }
        return false;
    }

    void AddAdvice(std::uint64_t handle, std::function<HRESULT()> unadvise)
    {
        advised_.emplace_back(handle, std::move(unadvise));
    }

    // Unadvises the sinks, takes back the counted requests and lets go of the objects.
    void Release()
    {
        closed_ = true;
        for (auto& advice : advised_)
            advice.second();
        for (auto& request : counted_) {
            for (; request.outstanding > 0; --request.outstanding) {
                std::vector<Variant> args{Variant::FromBool(false)};
                Variant ignored;
                request.object->Invoke(request.dispid, MemberKind::PropertyPut, args, ignored);
            }
        }
        Drop();
    }

    // Lets go of everything without calling the objects (their apartment is gone).
    void Drop()
    {
        closed_ = true;
        advised_.clear();
        counted_.clear();
        handles_.clear();
        objects_.clear();
    }

    void Push(std::string event)
    {
        {
            std::lock_guard lock(mutex_);
            if (events_.size() >= kMaxQueuedEvents)
                overflowed_ = true;
            else
                events_.push_back(std::move(event));
        }
        wake_.Set();
    }

    std::deque<std::string> TakeEvents(bool& overflowed)
    {
        std::lock_guard lock(mutex_);
        overflowed = overflowed_;
        return std::exchange(events_, {});
    }

    Event& wake() { return wake_; }

private:
    const std::string id_;
    const UnknownPtr root_;

    bool closed_ = false;
    std::map<std::uint64_t, UnknownPtr> objects_;
    std::map<const IUnknown*, std::uint64_t> handles_;
    std::vector<CountedRequest> counted_;
    std::vector<std::pair<std::uint64_t, std::function<HRESULT()>>> advised_;

    std::mutex mutex_;
    std::deque<std::string> events_;
    bool overflowed_ = false;
    Event wake_{Event::Reset::Auto};
};

// Objects as a session sends them: by handle, with the interface for clients to find the table.
ObjectToJson HandlesOf(ClientSession& session)
{
    return [&session](const UnknownPtr& object, json& out) {
        out = json{{"object", session.Enter(object)}};
        if (auto dispatchable = std::dynamic_pointer_cast<IDispatchable>(object))
            out["interface"] = dispatchable->Table().interface_name();
        return S_OK;
    };
}

// Objects as a session receives them: its own handles, and pictures by value.
ObjectFromJson ObjectsOf(const ClientSession& session)
{
    return [&session](const json& value, UnknownPtr& object, std::string& problem) {
        if (value.contains("picture"))
            return PictureFromJson(value, object, problem);
        const auto it = value.find("object");
        const auto handle = it == value.end() ? std::nullopt : HandleOf(*it);
        object = handle ? session.Find(*handle) : nullptr;
        if (object)
            return S_OK;
        problem = "unknown object handle " + (it == value.end() ? std::string() : JsonText(*it));
        return E_HANDLE;
    };
}

// The sink a session advises: each event goes out on the session's stream, its objects
// entered in the session's table on the apartment's thread.
class CSessionSink : public IDispatchable, public std::enable_shared_from_this<CSessionSink> {
public:
    CSessionSink(std::weak_ptr<ClientSession> session, std::uint64_t source, DispatchTable events,
                 std::shared_ptr<Apartment> apartment)
        : session_(std::move(session)), source_(source), events_(std::move(events)),
          apartment_(std::move(apartment))
    {
    }

    const DispatchTable& Table() const override { return events_; }

    HRESULT Invoke(DISPID dispid, MemberKind, std::vector<Variant>& args, Variant& result) override
    {
        result = Variant();
        if (!apartment_->IsCurrent()) {
            return apartment_->Post(
                [self = shared_from_this(), dispid, args] { self->Send(dispid, args); });
        }
        Send(dispid, args);
        return S_OK;
    }

private:
    void Send(DISPID dispid, const std::vector<Variant>& args)
    {
        auto session = session_.lock();
        if (!session || session->closed())
            return;
        const MemberDesc* member = events_.Find(dispid, MemberKind::Method);
        json values = json::array();
        for (const auto& arg : args) {
            json value;
            if (FAILED(VariantToJson(arg, HandlesOf(*session), value)))
                value = nullptr;
            values.push_back(std::move(value));
        }
        session->Push("event: " + (member ? member->name : std::to_string(dispid)) +
                      "\ndata: " + JsonText(json{{"object", source_}, {"args", values}}) + "\n\n");
    }

    const std::weak_ptr<ClientSession> session_;
    const std::uint64_t source_;
    const DispatchTable events_;
    const std::shared_ptr<Apartment> apartment_;
};

struct CallRequest {
    std::uint64_t object = 0;
    std::string member;
    MemberKind kind = MemberKind::Method;
    json args = json::array();
};

std::optional<CallRequest> ParseCall(const json& body, std::string& problem)
{
    CallRequest call;
    if (auto object = body.find("object"); object != body.end()) {
        const auto handle = HandleOf(*object);
        if (!handle) {
            problem = "\"object\" is not a handle";
            return std::nullopt;
        }
        call.object = *handle;
    }
    const auto member = body.find("member");
    if (member == body.end() || !member->is_string() ||
        member->get_ref<const std::string&>().empty()) {
        problem = "\"member\" must name a member";
        return std::nullopt;
    }
    call.member = member->get<std::string>();
    const auto kind = body.find("kind");
    const auto parsed_kind = kind == body.end() ? std::nullopt : MemberKindFromJson(*kind);
    if (!parsed_kind) {
        problem = "\"kind\" must be \"get\", \"put\" or \"method\"";
        return std::nullopt;
    }
    call.kind = *parsed_kind;
    if (auto args = body.find("args"); args != body.end()) {
        if (!args->is_array()) {
            problem = "\"args\" must be an array";
            return std::nullopt;
        }
        call.args = *args;
    }
    return call;
}

std::optional<json> ParseBody(const httplib::Request& req, Reply& error)
{
    std::string problem;
    auto body = ParseJsonDocument(req.body, JsonLimits{}, problem);
    if (!body) {
        error = BadRequest("the body is not read: " + problem);
        return std::nullopt;
    }
    if (!body->is_object()) {
        error = BadRequest("the body is not a JSON object");
        return std::nullopt;
    }
    return body;
}

json DescribeMember(const MemberDesc& member)
{
    json params = json::array();
    for (const auto& param : member.params) {
        json described{{"name", param.name}, {"type", param.type}, {"optional", param.optional}};
        json value;
        if (param.optional && SUCCEEDED(VariantToJson(param.default_value, nullptr, value)))
            described["default"] = std::move(value);
        params.push_back(std::move(described));
    }
    return json{{"name", member.name},
                {"dispid", member.dispid},
                {"kind", MemberKindName(member.kind)},
                {"params", std::move(params)},
                {"result", member.result}};
}

} // namespace

class AutomationServer::Impl {
public:
    Impl(std::shared_ptr<Apartment> apartment, DispatchablePtr root, Options options)
        : apartment_(std::move(apartment)), root_(std::move(root)), options_(std::move(options))
    {
        http_.set_pre_routing_handler(
            [this](const httplib::Request& req, httplib::Response& res) {
                return FromThisEndpoint(req, res) ? httplib::Server::HandlerResponse::Unhandled
                                                  : httplib::Server::HandlerResponse::Handled;
            });
        http_.set_exception_handler(
            [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
                Send(res, {kStatusInternalError, json{{"message", "internal error"}}});
            });
        http_.Get("/events", Authorized(&Impl::OpenEvents));
        http_.Post("/call", Authorized(JsonBody(&Impl::Call)));
        http_.Get("/table", Authorized(&Impl::Table));
        http_.Post("/advise", Authorized(JsonBody(&Impl::Advise)));
        for (const auto& [prefix, page] : options_.pages) {
            http_.Get(prefix + ".*",
                      Authorized([&page = page](const httplib::Request&, httplib::Response& res) {
                          SendPage(page, res);
                      }, kBrowserChallenge));
        }
    }

    HRESULT Start()
    {
        if (started_)
            return E_UNEXPECTED;
        if (options_.token.empty() && !IsLoopback(options_.address)) {
            return ReportError(E_INVALIDARG, "The automation server listens on " +
                                                 options_.address +
                                                 " only with a token; without one it listens "
                                                 "on a loopback address only.");
        }
        HRESULT hr = http_.Listen(options_.address, options_.port);
        if (hr == E_INVALIDARG)
            return ReportError(hr, "\"" + options_.address + "\" is not a numeric address.");
        if (FAILED(hr))
            return hr;
        started_ = true;
        return S_OK;
    }

    void Stop() { http_.Shutdown(); }

    std::uint16_t port() const { return http_.port(); }

private:
    using Handler = void (Impl::*)(const httplib::Request&, httplib::Response&);

    // False, with the refusal sent, for a request from another web page or for another host.
    bool FromThisEndpoint(const httplib::Request& req, httplib::Response& res) const
    {
        const std::string host = req.get_header_value("Host");
        const std::string origin = req.get_header_value("Origin");
        const std::string site = req.get_header_value("Sec-Fetch-Site");
        const auto refusal =
            CheckRequestOrigin({host, origin, site}, {http_.port(), options_.host_names});
        if (!refusal)
            return true;
        Send(res, {refusal->status, json{{"message", refusal->message}}});
        return false;
    }

    // The handler, for requests whose body is declared JSON: a page's form or "simple" request
    // cannot send that without the browser asking first.
    httplib::Server::Handler JsonBody(Handler handler)
    {
        return [this, handler](const httplib::Request& req, httplib::Response& res) {
            const std::string type = req.get_header_value("Content-Type");
            if (!EqualsIgnoringCase(TrimmedMediaType(type), kJsonType))
                return Send(res, {kStatusUnsupportedType,
                                  json{{"message", "the body must be sent as application/json"}}});
            (this->*handler)(req, res);
        };
    }

    // The handler, for requests with the token (when one is set). The check comes after the
    // body was read, so that a refused request leaves its connection in step.
    httplib::Server::Handler Authorized(httplib::Server::Handler handler,
                                        const char* challenge = "Bearer")
    {
        return [this, handler, challenge](const httplib::Request& req, httplib::Response& res) {
            if (!options_.token.empty() &&
                !CarriesToken(req.get_header_value("Authorization"), options_.token)) {
                res.set_header("WWW-Authenticate", challenge);
                Send(res, {kStatusUnauthorized, json{{"message", "a valid token is needed"}}});
                return;
            }
            handler(req, res);
        };
    }

    httplib::Server::Handler Authorized(Handler handler)
    {
        return Authorized([this, handler](const httplib::Request& req, httplib::Response& res) {
            (this->*handler)(req, res);
        });
    }

    // A page runs only its own inline script and reaches only this endpoint; no other page may
    // frame it.
    static void SendPage(const std::string& page, httplib::Response& res)
    {
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "img-src data:; connect-src 'self'; frame-ancestors 'none'");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("Cache-Control", "no-cache");
        res.set_content(page, "text/html; charset=utf-8");
    }

    void OpenEvents(const httplib::Request&, httplib::Response& res)
    {
        const auto id = NewSessionId();
        if (!id)
            return Send(res, {kStatusUnavailable, json{{"message", "no session id"}}});
        auto session = std::make_shared<ClientSession>(*id, root_);
        {
            std::lock_guard lock(mutex_);
            if (sessions_.size() >= kMaxSessions)
                return Send(res, {kStatusUnavailable, json{{"message", "too many clients"}}});
            sessions_.emplace(*id, session);
        }
        HRESULT hr = apartment_->Invoke([this] { return Notify(options_.on_client_opened); });
        if (FAILED(hr)) {
            std::lock_guard lock(mutex_);
            sessions_.erase(*id);
            return Send(
                res, {kStatusUnavailable, json{{"hresult", hr}, {"message", HResultMessage(hr)}}});
        }
        const int socket = HttpServer::CurrentSocket();
        res.set_header("Cache-Control", "no-cache");
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, session, socket](std::size_t, httplib::DataSink& sink) {
                return StreamEvents(*session, socket, sink);
            },
            [this, session](bool) { EndSession(session); });
    }

    // Writes the session's events until the server stops or the client goes; false ends the
    // connection.
    bool StreamEvents(ClientSession& session, int socket, httplib::DataSink& sink)
    {
        auto write = [&sink](const std::string& text) {
            return sink.write(text.data(), text.size());
        };
        if (!write("event: session\ndata: " + JsonText(json{{"session", session.id()}}) + "\n\n"))
            return false;
        for (;;) {
            bool overflowed = false;
            for (const auto& event : session.TakeEvents(overflowed)) {
                if (!write(event))
                    return false;
            }
            if (overflowed)
                return false;
            const int woken = WaitAny({http_.stopping(), session.wake(), Waitable::Socket(socket)},
                                      kKeepAliveCommentMs);
            if (woken == 0) {
                // What happened just before the stop (the players leaving) still goes out.
                for (const auto& event : session.TakeEvents(overflowed)) {
                    if (!write(event))
                        return false;
                }
                sink.done();
                return true;
            }
            if (woken == kWaitTimeout && !write(": keep-alive\n\n"))
                return false;
            // The client closed the stream (or sent on it, which a stream does not take).
            if (woken == 2 || woken == kWaitFailed)
                return false;
        }
    }

    void EndSession(const std::shared_ptr<ClientSession>& session) noexcept
    {
        try {
            {
                std::lock_guard lock(mutex_);
                sessions_.erase(session->id());
            }
            HRESULT hr = apartment_->Invoke([this, &session] {
                session->Release();
                return Notify(options_.on_client_closed);
            });
            if (FAILED(hr))
                session->Drop();
        } catch (const std::exception&) {
            session->Drop();
        }
    }

    // The service's callbacks; nothing they throw leaves the apartment's thread.
    static HRESULT Notify(const std::function<void()>& callback)
    {
        try {
            if (callback)
                callback();
            return S_OK;
        } catch (const std::exception&) {
            return E_UNEXPECTED;
        }
    }

    void Call(const httplib::Request& req, httplib::Response& res)
    {
        Reply error;
        const auto body = ParseBody(req, error);
        if (!body)
            return Send(res, error);
        std::string problem;
        const auto call = ParseCall(*body, problem);
        if (!call)
            return Send(res, BadRequest(problem));
        Send(res,
             InSession(req, [&](ClientSession& session) { return CallMember(session, *call); }));
    }

    void Table(const httplib::Request& req, httplib::Response& res)
    {
        const auto handle =
            HandleFromText(req.has_param("object") ? req.get_param_value("object") : "0");
        if (!handle)
            return Send(res, BadRequest("\"object\" is not a handle"));
        Send(res, InSession(req, [&](ClientSession& session) {
                 auto object = std::dynamic_pointer_cast<IDispatchable>(session.Find(*handle));
                 if (!object)
                     return BadRequest("no object with a dispatch table has handle " +
                                       std::to_string(*handle));
                 const DispatchTable& table = object->Table();
                 json members = json::array();
                 for (const auto& member : table.members())
                     members.push_back(DescribeMember(member));
                 return Reply{kStatusOk, json{{"interface", table.interface_name()},
                                              {"members", std::move(members)}}};
             }));
    }

    void Advise(const httplib::Request& req, httplib::Response& res)
    {
        Reply error;
        const auto body = ParseBody(req, error);
        if (!body)
            return Send(res, error);
        const auto object = body->find("object");
        const auto handle = object == body->end() ? std::nullopt : HandleOf(*object);
        if (!handle)
            return Send(res, BadRequest("\"object\" is not a handle"));
        if (req.get_header_value(kSessionHeader).empty())
            return Send(res, BadRequest("events go to a session: open /events and name it in " +
                                        std::string(kSessionHeader)));
        Send(res, InSession(
                      req, [&](ClientSession& session) { return AdviseObject(session, *handle); }));
    }

    // Runs fn on the apartment in the request's session, or in a session of its own that ends
    // with it.
    Reply InSession(const httplib::Request& req, const std::function<Reply(ClientSession&)>& fn)
    {
        const std::string id = req.get_header_value(kSessionHeader);
        std::shared_ptr<ClientSession> session;
        if (id.empty()) {
            session = std::make_shared<ClientSession>(std::string(), root_);
        } else {
            std::lock_guard lock(mutex_);
            auto it = sessions_.find(id);
            if (it == sessions_.end())
                return BadRequest("unknown session");
            session = it->second;
        }
        Reply reply;
        HRESULT hr = apartment_->Invoke([&]() -> HRESULT {
            HRESULT outcome = S_OK;
            try {
                reply = session->closed() ? BadRequest("the session has ended") : fn(*session);
            } catch (const std::bad_alloc&) {
                outcome = E_OUTOFMEMORY;
            } catch (const std::exception&) {
                outcome = E_UNEXPECTED;
            }
            if (id.empty())
                session->Release();
            return outcome;
        });
        if (FAILED(hr))
            return {kStatusUnavailable, json{{"hresult", hr}, {"message", HResultMessage(hr)}}};
        return reply;
    }

    Reply CallMember(ClientSession& session, const CallRequest& call)
    {
        const UnknownPtr object = session.Find(call.object);
        if (!object)
            return BadRequest("unknown object handle " + std::to_string(call.object));
        const auto target = std::dynamic_pointer_cast<IDispatchable>(object);
        if (!target)
            return BadRequest("the object has no dispatch table");
        const DispatchTable& table = target->Table();
        ClearErrorInfo();
        const MemberDesc* member = table.Find(call.member, call.kind);
        if (!member) {
            DISPID other = 0;
            return Failure(FAILED(table.GetIDOfName(call.member, other)) ? DISP_E_UNKNOWNNAME
                                                                         : DISP_E_MEMBERNOTFOUND);
        }
        if (StartsWithIgnoringCase(member->name, kFileWritingPrefix))
            return {kStatusForbidden,
                    json{{"message", member->name + " writes a file by path and is not offered to "
                                                    "other programs"}}};

        std::vector<Variant> args;
        for (const auto& arg : call.args) {
            Variant value;
            std::string problem;
            if (FAILED(JsonToVariant(arg, ObjectsOf(session), value, problem)))
                return BadRequest("argument " + std::to_string(args.size() + 1) + ": " + problem);
            args.push_back(std::move(value));
        }

        Variant result;
        HRESULT hr = InvokeCounted(session, target, *member, args, result);
        if (FAILED(hr))
            return Failure(hr);
        json value;
        HRESULT converted = VariantToJson(result, HandlesOf(session), value);
        if (FAILED(converted)) {
            ClearErrorInfo();
            return Failure(converted);
        }
        json body{{"result", std::move(value)}};
        if (hr != S_OK)
            body["hresult"] = hr;
        return {kStatusOk, std::move(body)};
    }

    static HRESULT InvokeCounted(ClientSession& session, const DispatchablePtr& target,
                                 const MemberDesc& member, std::vector<Variant>& args,
                                 Variant& result)
    {
        bool on = false;
        const bool counted = member.kind == MemberKind::PropertyPut &&
                             IsCountedProperty(member.name) && args.size() == 1 &&
                             SUCCEEDED(args[0].ToBool(on));
        if (!counted)
            return target->Invoke(member.dispid, member.kind, args, result);
        auto& request = session.Counted(target, member.dispid);
        // A session takes back only what it asked for, never another client's request.
        if (!on && request.outstanding == 0)
            return S_FALSE;
        HRESULT hr = target->Invoke(member.dispid, member.kind, args, result);
        if (hr == S_OK)
            request.outstanding += on ? 1 : -1;
        return hr;
    }

    Reply AdviseObject(ClientSession& session, std::uint64_t handle)
    {
        const UnknownPtr object = session.Find(handle);
        if (!object)
            return BadRequest("unknown object handle " + std::to_string(handle));
        if (session.IsAdvised(handle))
            return {kStatusOk, json{{"result", nullptr}, {"hresult", S_FALSE}}};
        ClearErrorInfo();
        const auto source = EventSourceOf(object);
        if (!source)
            return Failure(E_NOINTERFACE);
        auto sink = std::make_shared<CSessionSink>(session.weak_from_this(), handle,
                                                   EventTableOf(object), apartment_);
        DWORD cookie = 0;
        HRESULT hr = source->advise(sink, cookie);
        if (FAILED(hr))
            return Failure(hr);
        session.AddAdvice(handle,
                          [unadvise = source->unadvise, cookie] { return unadvise(cookie); });
        return {kStatusOk, json{{"result", nullptr}}};
    }

    DispatchTable EventTableOf(const UnknownPtr& object) const
    {
        const auto dispatchable = std::dynamic_pointer_cast<IDispatchable>(object);
        const std::string name = dispatchable ? dispatchable->Table().interface_name() : "";
        if (auto it = options_.event_tables.find(name); it != options_.event_tables.end())
            return it->second;
        return DispatchTable(name + "Events");
    }

    const std::shared_ptr<Apartment> apartment_;
    const DispatchablePtr root_;
    const Options options_;
    HttpServer http_;
    bool started_ = false;

    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<ClientSession>> sessions_;
};

AutomationServer::AutomationServer(std::shared_ptr<Apartment> apartment, DispatchablePtr root,
                                   Options options)
    : impl_(std::make_unique<Impl>(std::move(apartment), std::move(root), std::move(options)))
{
}

AutomationServer::~AutomationServer()
{
    Stop();
}

HRESULT AutomationServer::Start()
{
    return impl_->Start();
}

void AutomationServer::Stop()
{
    impl_->Stop();
}

std::uint16_t AutomationServer::port() const
{
    return impl_->port();
}

} // namespace velk
