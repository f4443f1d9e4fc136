#include "automation/automation_client.h"

#include <sys/socket.h>

#include <optional>
#include <string_view>

#include <httplib.h>

#include "automation/json_document.h"
#include "automation/json_value.h"
#include "platform/apartment.h"
#include "platform/ascii.h"
#include "platform/error_info.h"

namespace velk {

namespace {

using nlohmann::json;

constexpr const char* kSessionHeader = "X-Velk-Session";
constexpr const char* kJsonType = "application/json";
constexpr time_t kConnectTimeoutSec = 5;
// Members may take long (a player's reply, a firmware step); the stream sees the server's
// keep-alive comment every 15 seconds.
constexpr time_t kCallTimeoutSec = 120;
constexpr time_t kStreamTimeoutSec = 60;
constexpr std::uint32_t kSessionTimeoutMs = 15000;
// An event longer than this without its end is not from our server: the stream is dropped.
constexpr std::size_t kMaxEventBytes = 16 * 1024 * 1024;

// Replies carry results, which may be long lists; deeper or larger documents are not our server's.
constexpr JsonLimits kReplyLimits{64, 4 * 1024 * 1024};

constexpr int kStatusOk = 200;
constexpr int kStatusBadRequest = 400;
constexpr int kStatusUnauthorized = 401;
constexpr int kStatusForbidden = 403;

std::optional<std::uint64_t> HandleOf(const json& value)
{
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>();
    return std::nullopt;
}

std::optional<HRESULT> HResultOf(const json& value)
{
    if (!value.is_number_integer() || !std::in_range<HRESULT>(value.get<std::int64_t>()))
        return std::nullopt;
    return static_cast<HRESULT>(value.get<std::int64_t>());
}

// Why a request got no answer at all, in words.
std::string NoAnswerReason(httplib::Error error)
{
    switch (error) {
    case httplib::Error::Connection:
        return "connection refused";
    case httplib::Error::ConnectionTimeout:
        return "no answer to the connection";
    default:
        return httplib::to_string(error);
    }
}

// A reply or an event's data; null for text that is no JSON or is beyond the limits.
json ReadDocument(std::string_view text)
{
    std::string problem;
    return ParseJsonDocument(text, kReplyLimits, problem).value_or(json());
}

std::string TextOf(const json& body, const char* key)
{
    const auto it = body.find(key);
    return it != body.end() && it->is_string() ? it->get<std::string>() : std::string();
}

HRESULT MalformedReply(std::string_view what)
{
    return ReportError(E_UNEXPECTED,
                       "The automation server sent a malformed reply (" + std::string(what) + ").");
}

// The table of objects whose interface is not a dispatch interface.
std::shared_ptr<const DispatchTable> UnknownTable()
{
    static const auto table = std::make_shared<const DispatchTable>("IUnknown");
    return table;
}



std::optional<VARTYPE> TypeOf(const json& value)
{
    if (!value.is_number_unsigned() || !std::in_range<std::uint16_t>(value.get<std::uint64_t>()))
        return std::nullopt;
    return static_cast<VARTYPE>(value.get<std::uint64_t>());
}

std::optional<ParamDesc> ParamOf(const json& value)
{
    if (!value.is_object())
        return std::nullopt;
    const auto name = value.find("name");
    const auto type = value.find("type");
    const auto optional = value.find("optional");
    if (name == value.end() || !name->is_string() || type == value.end() ||
        optional == value.end() || !optional->is_boolean() || !TypeOf(*type))
        return std::nullopt;
    ParamDesc param{name->get<std::string>(), *TypeOf(*type), optional->get<bool>(), Variant()};
    if (const auto fallback = value.find("default"); fallback != value.end()) {
        std::string problem;
        if (FAILED(JsonToVariant(*fallback, nullptr, param.default_value, problem)))
            return std::nullopt;
    }
    return param;
}

std::optional<MemberDesc> MemberOf(const json& value)
{
    if (!value.is_object())
        return std::nullopt;
    const auto name = value.find("name");
    const auto dispid = value.find("dispid");
    const auto kind = value.find("kind");
    const auto params = value.find("params");
    const auto result = value.find("result");
    if (name == value.end() || !name->is_string() || dispid == value.end() || !HResultOf(*dispid) ||
        kind == value.end() || !MemberKindFromJson(*kind) || params == value.end() || !params->is_array() ||
        result == value.end() || !TypeOf(*result))
        return std::nullopt;
    MemberDesc member{
        name->get<std::string>(), *HResultOf(*dispid), *MemberKindFromJson(*kind), {}, *TypeOf(*result)};
    for (const auto& item : *params) {
        auto param = ParamOf(item);
        if (!param)
            return std::nullopt;
        member.params.push_back(std::move(*param));
    }
    return member;
}

// The server's description of a table as the table itself.
std::shared_ptr<const DispatchTable> TableOf(const json& reply)
{
    const auto name = reply.find("interface");
    const auto members = reply.find("members");
    if (name == reply.end() || !name->is_string() || members == reply.end() || !members->is_array())
        return nullptr;
    auto table = std::make_shared<DispatchTable>(name->get<std::string>());
    for (const auto& item : *members) {
        auto member = MemberOf(item);
        if (!member)
            return nullptr;
        try {
            table->Add(std::move(*member));
        } catch (const std::logic_error&) {
            return nullptr;
        }
    }
    return table;
}

} // namespace

// The call side of a client: one HTTP connection for calls, in the client's session, and the
// tables of the interfaces met so far. Shared by the client and its remote objects.
class AutomationConnection : public std::enable_shared_from_this<AutomationConnection> {
public:
    AutomationConnection(const std::string& host, std::uint16_t port, const std::string& token)
        : http_(host, port)
    {
        http_.set_connection_timeout(kConnectTimeoutSec);
        http_.set_read_timeout(kCallTimeoutSec);
        http_.set_write_timeout(kCallTimeoutSec);
        http_.set_keep_alive(true);
        http_.set_tcp_nodelay(true);
        if (!token.empty())
            http_.set_bearer_token_auth(token);
    }

    void SetSession(const std::string& session)
    {
        std::lock_guard lock(mutex_);
        session_ = session;
    }

    // Calls fail from now on: the session has ended.
    void Close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }

    HRESULT Call(std::uint64_t handle, const MemberDesc& member, std::vector<Variant>& args,
                 Variant& result)
    {
        json values = json::array();
        for (const auto& arg : args) {
            json value;
            HRESULT hr = VariantToJson(arg, Objects(), value);
            if (FAILED(hr))
                return hr;
            values.push_back(std::move(value));
        }
        json reply;
        HRESULT hr = Request("/call",
                             json{{"object", handle},
                                  {"member", member.name},
                                  {"kind", MemberKindName(member.kind)},
                                  {"args", std::move(values)}},
                             reply);
        if (FAILED(hr))
            return hr;
        hr = Outcome(reply);
        if (FAILED(hr))
            return hr;
        std::string problem;
        if (FAILED(JsonToVariant(reply["result"], Handles(), result, problem)))
            return MalformedReply(problem);
        return hr;
    }

    HRESULT Advise(std::uint64_t handle)
    {
        json reply;
        HRESULT hr = Request("/advise", json{{"object", handle}}, reply);
        return FAILED(hr) ? hr : Outcome(reply);
    }

    // A remote object for a handle. interface: the name the server gave with the handle (empty
    // for an object without a dispatch interface); none to ask the server for the table.
    HRESULT ObjectOf(std::uint64_t handle, const std::optional<std::string>& interface,
                     DispatchablePtr& object)
    {
        std::shared_ptr<const DispatchTable> table;
        if (interface && interface->empty())
            table = UnknownTable();
        if (!table && interface)
            table = CachedTable(*interface);
        if (!table) {
            json reply;
            HRESULT hr = Request("/table?object=" + std::to_string(handle), std::nullopt, reply);
            if (FAILED(hr))
                return hr;
            table = TableOf(reply);
            if (!table)
                return MalformedReply("dispatch table");
            std::lock_guard lock(tables_mutex_);
            table = tables_.try_emplace(FoldCase(table->interface_name()), table).first->second;
        }
        object = std::make_shared<CRemoteObject>(shared_from_this(), handle, std::move(table));
        return S_OK;
    }

    // Objects in what the server sends: remote objects of this connection.
    ObjectFromJson Handles()
    {
        return [this](const json& value, UnknownPtr& object, std::string& problem) {
            if (value.contains("picture"))
                return PictureFromJson(value, object, problem);
            const auto handle = HandleOf(value.at("object"));
            if (!handle) {
                problem = "malformed object handle";
                return DISP_E_TYPEMISMATCH;
            }
            const auto interface = value.find("interface");
            DispatchablePtr remote;
            HRESULT hr = ObjectOf(*handle,
                                  interface != value.end() && interface->is_string()
                                      ? interface->get<std::string>()
                                      : std::string(),
                                  remote);
            object = remote;
            return hr;
        };
    }

private:
    std::shared_ptr<const DispatchTable> CachedTable(const std::string& interface)
    {
        std::lock_guard lock(tables_mutex_);
        auto it = tables_.find(FoldCase(interface));
        return it == tables_.end() ? nullptr : it->second;
    }

    // Objects in what goes to the server: this connection's remote objects by handle, pictures
    // by value.
    ObjectToJson Objects() const
    {
        return [this](const UnknownPtr& object, json& out) {
            if (auto remote = std::dynamic_pointer_cast<CRemoteObject>(object)) {
                if (remote->connection() != this)
                    return DISP_E_TYPEMISMATCH;
                out = json{{"object", remote->handle()}};
                return S_OK;
            }
            if (auto picture = std::dynamic_pointer_cast<IPicture>(object))
                return PictureToJson(*picture, out);
            return DISP_E_TYPEMISMATCH;
        };
    }

    // A GET without body, a POST with one; reply is the JSON object of a 200 reply. The other
    // statuses as codes, with the server's message as the error record.
    HRESULT Request(const std::string& path, const std::optional<json>& body, json& reply)
    {
        std::unique_ptr<httplib::Response> response;
        httplib::Error error = httplib::Error::Success;
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return RPC_E_DISCONNECTED;
            httplib::Headers headers;
            if (!session_.empty())
                headers.emplace(kSessionHeader, session_);
            auto result = body ? http_.Post(path.c_str(), headers, JsonText(*body), kJsonType)
                               : http_.Get(path.c_str(), headers);
            error = result.error();
            if (result)
                response = std::make_unique<httplib::Response>(std::move(result.value()));
        }
        if (!response)
            return ReportError(kAutomationServerUnavailable,
                               "The automation server does not answer (" +
                                   httplib::to_string(error) + ").");
        reply = ReadDocument(response->body);
        const std::string message = reply.is_object() ? TextOf(reply, "message") : std::string();
        switch (response->status) {
        case kStatusOk:
            return reply.is_object() ? S_OK : MalformedReply("not a JSON object");
        case kStatusBadRequest:
            return ReportError(E_INVALIDARG, message);
        case kStatusUnauthorized:
        case kStatusForbidden:
            return ReportError(E_ACCESSDENIED, message);
        default:
            break;
        }
        HRESULT hr = E_FAIL;
        if (reply.is_object() && reply.contains("hresult")) {
            const HRESULT code = HResultOf(reply["hresult"]).value_or(E_FAIL);
            hr = FAILED(code) ? code : E_FAIL;
        }
        return ReportError(hr, message.empty() ? "HTTP status " + std::to_string(response->status)
                                               : message);
    }

    // The member's code from a call's reply: a failure restores the server's error record.
    static HRESULT Outcome(const json& reply)
    {
        const auto code = reply.find("hresult");
        const auto hr = code == reply.end() ? std::optional<HRESULT>(S_OK) : HResultOf(*code);
        if (!hr)
            return MalformedReply("result code");
        if (reply.contains("result"))
            return SUCCEEDED(*hr) ? *hr : MalformedReply("failure with a result");
        if (SUCCEEDED(*hr))
            return MalformedReply("neither result nor failure");
        const std::string description = TextOf(reply, "description");
        if (description.empty()) {
            ClearErrorInfo();
            return *hr;
        }
        const auto context = reply.find("helpContext");
        SetErrorInfo({description, TextOf(reply, "source"), TextOf(reply, "helpFile"),
                      context != reply.end() && context->is_number_unsigned()
                          ? static_cast<DWORD>(context->get<std::uint64_t>())
                          : DWORD{0}});
        return *hr;
    }

    httplib::Client http_;
    std::mutex mutex_; // one request at a time on the connection
    std::string session_;
    bool closed_ = false;

    std::mutex tables_mutex_;
    std::map<std::string, std::shared_ptr<const DispatchTable>> tables_;
};

CRemoteObject::CRemoteObject(std::shared_ptr<AutomationConnection> connection, std::uint64_t handle,
                             std::shared_ptr<const DispatchTable> table)
    : connection_(std::move(connection)), handle_(handle), table_(std::move(table))
{
}

HRESULT CRemoteObject::Invoke(DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                              Variant& result)
{
    const MemberDesc* member = table_->Find(dispid, kind);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    try {
        return connection_->Call(handle_, *member, args, result);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_UNEXPECTED;
    }
}

AutomationClient::AutomationClient(const std::string& host, std::uint16_t port,
                                   const std::string& token)
    : endpoint_(host + ":" + std::to_string(port)),
      connection_(std::make_shared<AutomationConnection>(host, port, token)),
      stream_http_(std::make_unique<httplib::Client>(host, port))
{
    stream_http_->set_connection_timeout(kConnectTimeoutSec);
    stream_http_->set_read_timeout(kStreamTimeoutSec);
    if (!token.empty())
        stream_http_->set_bearer_token_auth(token);
    // A stop that comes before the stream's socket exists ends the stream as soon as it does.
    stream_http_->set_socket_options([this](socket_t socket) {
        std::lock_guard lock(stream_mutex_);
        if (stopping_)
            shutdown(socket, SHUT_RDWR);
    });
}

AutomationClient::~AutomationClient()
{
    StopStream();
    connection_->Close();
}

HRESULT AutomationClient::Connect(const std::string& host, std::uint16_t port,
                                  const std::string& token,
                                  std::shared_ptr<AutomationClient>& client)
{
    try {
        std::shared_ptr<AutomationClient> connected(new AutomationClient(host, port, token));
        HRESULT hr = connected->OpenSession();
        if (FAILED(hr))
            return hr;
        hr = connected->connection_->ObjectOf(0, std::nullopt, connected->root_);
        if (FAILED(hr))
            return hr;
        client = std::move(connected);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_UNEXPECTED;
    }
}

HRESULT AutomationClient::OpenSession()
{
    stream_thread_ = std::thread([this] { ReadStream(); });
    if (WaitWithPumping({session_opened_}, kSessionTimeoutMs) != 0)
        return ReportError(kAutomationServerUnavailable,
                           "The automation server opened no session in time.");
    std::lock_guard lock(stream_mutex_);
    if (FAILED(stream_failure_))
        return ReportError(stream_failure_, stream_failure_text_);
    connection_->SetSession(session_);
    return S_OK;
}

void AutomationClient::StopStream()
{
    {
        std::lock_guard lock(stream_mutex_);
        stopping_ = true;
    }
    stream_http_->stop();
    if (stream_thread_.joinable())
        stream_thread_.join();
}

void AutomationClient::ReadStream()
{
    std::string buffer;
    int status = 0;
    auto result = stream_http_->Get(
        "/events",
        [&status](const httplib::Response& response) {
            status = response.status;
            return status == kStatusOk;
        },
        [this, &buffer](const char* data, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i) {
                if (data[i] != '\r')
                    buffer += data[i];
            }
            return TakeEvents(buffer);
        });

    std::unique_lock lock(stream_mutex_);
    if (session_opened_.IsSet()) {
        lock.unlock();
        // The session is over: calls in it would fail or, worse, find nothing.
        connection_->Close();
        return;
    }
    if (status == kStatusUnauthorized) {
        stream_failure_ = E_ACCESSDENIED;
        stream_failure_text_ = "The automation server wants another token.";
    } else if (status == 0) {
        stream_failure_ = kAutomationServerUnavailable;
        stream_failure_text_ = "Cannot reach the Velk service at " + endpoint_ + " (" +
                               NoAnswerReason(result.error()) + "): is velk running?";
    } else {
        stream_failure_ = kAutomationServerUnavailable;
        stream_failure_text_ = "The Velk service at " + endpoint_ +
                               " opened no session (HTTP status " + std::to_string(status) + ").";
    }
    session_opened_.Set();
}

bool AutomationClient::TakeEvents(std::string& buffer)
{
    for (;;) {
        const std::size_t end = buffer.find("\n\n");
        if (end == std::string::npos)
            return buffer.size() <= kMaxEventBytes;
        const std::string block = buffer.substr(0, end + 1);
        buffer.erase(0, end + 2);

        std::string member;
        std::string data;
        for (std::size_t start = 0; start < block.size();) {
            const std::size_t stop = block.find('\n', start);
            const std::string_view line(block.data() + start, stop - start);
            start = stop + 1;
            if (line.starts_with("event:"))
                member = std::string(line.substr(line.starts_with("event: ") ? 7 : 6));
            else if (line.starts_with("data:"))
                data += std::string(line.substr(line.starts_with("data: ") ? 6 : 5));
        }
        if (member == "session") {
            const json body = ReadDocument(data);
            const std::string id = body.is_object() ? TextOf(body, "session") : std::string();
            std::lock_guard lock(stream_mutex_);
            if (id.empty() || session_opened_.IsSet())
                return false;
            session_ = id;
            session_opened_.Set();
        } else if (!member.empty()) {
            Deliver(member, data);
        }
    }
}

void AutomationClient::Deliver(const std::string& member, const std::string& data)
{
    std::lock_guard lock(callback_mutex_);
    if (!callback_)
        return;
    // A copy, so that the callback may close the events it is called for.
    const EventCallback callback = callback_;
    const json body = ReadDocument(data);
    const auto object = body.is_object() ? body.find("object") : body.end();
    const auto handle = body.is_object() && object != body.end() ? HandleOf(*object) : std::nullopt;
    const auto values = body.is_object() ? body.find("args") : body.end();
    if (!handle || values == body.end() || !values->is_array())
        return;

    DispatchablePtr source;
    {
        std::lock_guard advised(advised_mutex_);
        if (auto it = advised_.find(*handle); it != advised_.end())
            source = it->second;
    }
    if (!source && FAILED(connection_->ObjectOf(*handle, std::nullopt, source)))
        return;
    std::vector<Variant> args;
    for (const auto& value : *values) {
        Variant arg;
        std::string problem;
        if (FAILED(JsonToVariant(value, connection_->Handles(), arg, problem)))
            arg = Variant();
        args.push_back(std::move(arg));
    }
    callback(source, member, args);
}

HRESULT AutomationClient::Advise(const DispatchablePtr& object)
{
    const auto remote = std::dynamic_pointer_cast<CRemoteObject>(object);
    if (!remote || remote->connection() != connection_.get())
        return E_INVALIDARG;
    HRESULT hr = connection_->Advise(remote->handle());
    if (FAILED(hr))
        return hr;
    std::lock_guard lock(advised_mutex_);
    advised_.try_emplace(remote->handle(), object);
    return hr;
}

HRESULT AutomationClient::OpenEvents(EventCallback callback)
{
    if (!callback)
        return E_POINTER;
    std::lock_guard lock(callback_mutex_);
    callback_ = std::move(callback);
    return S_OK;
}

HRESULT AutomationClient::CloseEvents()
{
    std::lock_guard lock(callback_mutex_);
    callback_ = nullptr;
    return S_OK;
}

} // namespace velk
