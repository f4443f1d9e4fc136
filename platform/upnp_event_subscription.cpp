#include "platform/upnp_event_subscription.h"

#include <libsoup/soup.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/event_log.h"

namespace velk {

namespace {

constexpr std::string_view kEventType = "upnp:event";
constexpr std::string_view kPropertyChange = "upnp:propchange";
constexpr std::string_view kTimeoutPrefix = "Second-";

std::string HeaderValue(SoupMessageHeaders* headers, const char* name)
{
    const char* value = soup_message_headers_get_one(headers, name);
    return value ? value : "";
}

template <typename Number> bool ParseNumber(std::string_view text, Number& number)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "Second-1800" gives 1800; "infinite" or anything else 0 (no renewal).
std::uint32_t TimeoutSeconds(std::string_view header)
{
    std::uint32_t seconds = 0;
    if (!header.starts_with(kTimeoutPrefix) ||
        !ParseNumber(header.substr(kTimeoutPrefix.size()), seconds))
        return 0;
    return seconds;
}

// The element's own text. Entity references the document declares itself are left out, never
// expanded: a device's event cannot blow up into a huge value.
std::string TextOf(const xmlNode* element)
{
    std::string text;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) &&
            child->content)
            text += reinterpret_cast<const char*>(child->content);
    }
    return text;
}

bool IsElement(const xmlNode* node, std::string_view name)
{
    return node->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(node->name);
}

// The variables of a <propertyset><property><Name>value</Name></property>... body; none when
// it is no such document. Parsed without network access or entity substitution.
std::optional<UPnPEventSubscription::Changes> ParsePropertySet(const char* data, std::size_t length)
{
    xmlDoc* document = xmlReadMemory(data, static_cast<int>(length), "notify.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document)
        return std::nullopt;
    const xmlNode* root = xmlDocGetRootElement(document);
    std::optional<UPnPEventSubscription::Changes> changes;
    if (root && IsElement(root, "propertyset")) {
        changes.emplace();
        for (const xmlNode* property = root->children; property; property = property->next) {
            if (!IsElement(property, "property"))
                continue;
            for (const xmlNode* variable = property->children; variable;
                 variable = variable->next) {
                if (variable->type == XML_ELEMENT_NODE)
                    changes->emplace_back(reinterpret_cast<const char*>(variable->name),
                                          TextOf(variable));
            }
        }
    }
    xmlFreeDoc(document);
    return changes;
}

void ReportFailure(const std::string& event_url, std::string_view reason)
{
    EventLog::ReportText(EventLogType::Warning,
                         "UPnP: no events from " + event_url + ": " + std::string(reason));
}

} // namespace

struct UPnPEventSubscription::Request {
    std::shared_ptr<UPnPEventSubscription> owner;
    SoupMessage* message; // a reference of its own
    bool renewal;
};

UPnPEventSubscription::UPnPEventSubscription(GUPnPContext* context, std::string event_url,
                                             Sink sink)
    : context_(GUPNP_CONTEXT(g_object_ref(context))), event_url_(std::move(event_url)),
      sink_(std::move(sink)), cancellable_(g_cancellable_new())
{
    static std::atomic<unsigned> next_path = 1;
    path_ = "/VelkEvents" + std::to_string(next_path++);
}

UPnPEventSubscription::~UPnPEventSubscription()
{
    Close();
    g_object_unref(cancellable_);
    g_object_unref(context_);
}

void UPnPEventSubscription::Start()
{
    soup_server_add_handler(gupnp_context_get_server(context_), path_.c_str(),
                            &UPnPEventSubscription::OnNotify, this, nullptr);
    Subscribe();
}

void UPnPEventSubscription::Close()
{
    if (closed_)
        return;
    closed_ = true;
    sink_ = nullptr;
    timer_.Stop();
    soup_server_remove_handler(gupnp_context_get_server(context_), path_.c_str());
    g_cancellable_cancel(cancellable_);
    SendUnsubscribe();
}

SoupMessage* UPnPEventSubscription::NewRequest(const char* method) const
{
    char* url = gupnp_context_rewrite_uri(context_, event_url_.c_str());
    SoupMessage* message = url ? soup_message_new(method, url) : nullptr;
    g_free(url);
    return message;
}

void UPnPEventSubscription::Subscribe()
{
    if (closed_ || subscribing_)
        return;
    SoupMessage* message = NewRequest("SUBSCRIBE");
    if (!message) {
        ReportFailure(event_url_, "not a URL");
        return;
    }
    std::string host = gssdp_client_get_host_ip(GSSDP_CLIENT(context_));
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    const std::string callback =
        "<http://" + host + ":" + std::to_string(gupnp_context_get_port(context_)) + path_ + ">";
    SoupMessageHeaders* headers = soup_message_get_request_headers(message);
    soup_message_headers_append(headers, "Callback", callback.c_str());
    soup_message_headers_append(headers, "NT", std::string(kEventType).c_str());
    soup_message_headers_append(
        headers, "Timeout",
        (std::string(kTimeoutPrefix) + std::to_string(kRequestedTimeoutS)).c_str());
    subscribing_ = true;
    held_.clear();
    Send(message, false);
}

void UPnPEventSubscription::Renew()
{
    SoupMessage* message = closed_ || sid_.empty() ? nullptr : NewRequest("SUBSCRIBE");
    if (!message)
        return;
    SoupMessageHeaders* headers = soup_message_get_request_headers(message);
    soup_message_headers_append(headers, "SID", sid_.c_str());
    soup_message_headers_append(
        headers, "Timeout",
        (std::string(kTimeoutPrefix) + std::to_string(kRequestedTimeoutS)).c_str());
    Send(message, true);
}

void UPnPEventSubscription::Send(SoupMessage* message, bool renewal)
{
    soup_session_send_and_read_async(
        gupnp_context_get_session(context_), message, G_PRIORITY_DEFAULT, cancellable_,
        &UPnPEventSubscription::OnResponse, new Request{shared_from_this(), message, renewal});
}

void UPnPEventSubscription::OnResponse(GObject* source, GAsyncResult* result, gpointer data)
{
    const std::unique_ptr<Request> request(static_cast<Request*>(data));
    GError* error = nullptr;
    GBytes* body = soup_session_send_and_read_finish(SOUP_SESSION(source), result, &error);
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    const std::string reason = error ? error->message : "";
    g_clear_error(&error);
    if (body)
        g_bytes_unref(body);
    UPnPEventSubscription& self = *request->owner;
    if (!cancelled && !self.closed_)
        self.Answered(request->message, request->renewal, body ? "" : reason);
    g_object_unref(request->message);
}

void UPnPEventSubscription::Answered(SoupMessage* message, bool renewal, const std::string& error)
{
    if (!renewal)
        subscribing_ = false;
    const unsigned status = error.empty() ? soup_message_get_status(message) : 0;
    SoupMessageHeaders* headers = soup_message_get_response_headers(message);
    if (SOUP_STATUS_IS_SUCCESSFUL(status)) {
        if (!renewal) {
            sid_ = HeaderValue(headers, "SID");
            next_seq_ = 0;
            if (sid_.empty()) {
                ReportFailure(event_url_, "no SID in the answer");
                timer_.Start(kRetryMs, [this] { Subscribe(); });
                return;
            }
            // Notifications that came before this answer, in their order.
            std::vector<Held> held = std::move(held_);
            held_.clear();
            std::ranges::stable_sort(held, {}, &Held::seq);
            for (const Held& notification : held) {
                if (notification.sid == sid_)
                    Accept(notification.seq, notification.changes);
            }
        }
        if (const std::uint32_t timeout_s = TimeoutSeconds(HeaderValue(headers, "Timeout")))
            timer_.Start(timeout_s * 1000 / 2, [this] { Renew(); });
        return;
    }
    if (renewal && status == SOUP_STATUS_PRECONDITION_FAILED) {
        // The device has forgotten the subscription: a new one brings the whole state again.
        sid_.clear();
        Subscribe();
        return;
    }
    ReportFailure(event_url_, error.empty() ? "HTTP status " + std::to_string(status) : error);
    sid_.clear();
    timer_.Start(kRetryMs, [this] { Subscribe(); });
}

void UPnPEventSubscription::SendUnsubscribe()
{
    if (sid_.empty())
        return;
    const std::string sid = std::exchange(sid_, {});
    SoupMessage* message = NewRequest("UNSUBSCRIBE");
    if (!message)
        return;
    soup_message_headers_append(soup_message_get_request_headers(message), "SID", sid.c_str());
    // Nobody waits for the answer; the loop lets it finish before its thread ends.
    soup_session_send_and_read_async(
        gupnp_context_get_session(context_), message, G_PRIORITY_DEFAULT, nullptr,
        [](GObject* session, GAsyncResult* result, gpointer sent) {
            if (GBytes* body =
                    soup_session_send_and_read_finish(SOUP_SESSION(session), result, nullptr))
                g_bytes_unref(body);
            g_object_unref(sent);
        },
        message);
}

void UPnPEventSubscription::OnNotify(SoupServer*, SoupServerMessage* message, const char*,
                                     GHashTable*, gpointer self)
{
    if (std::string_view(soup_server_message_get_method(message)) != "NOTIFY") {
        soup_server_message_set_status(message, SOUP_STATUS_NOT_IMPLEMENTED, nullptr);
        return;
    }
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const std::string nt = HeaderValue(headers, "NT");
    const std::string nts = HeaderValue(headers, "NTS");
    if (nt.empty() || nts.empty()) {
        soup_server_message_set_status(message, SOUP_STATUS_BAD_REQUEST, nullptr);
        return;
    }
    const std::string sid = HeaderValue(headers, "SID");
    std::uint32_t seq = 0;
    if (nt != kEventType || nts != kPropertyChange || sid.empty() ||
        !ParseNumber(HeaderValue(headers, "SEQ"), seq)) {
        soup_server_message_set_status(message, SOUP_STATUS_PRECONDITION_FAILED, nullptr);
        return;
    }
    const SoupMessageBody* body = soup_server_message_get_request_body(message);
    if (body->length < 0 || static_cast<std::size_t>(body->length) > kMaxNotifyBytes) {
        soup_server_message_set_status(message, SOUP_STATUS_REQUEST_ENTITY_TOO_LARGE, nullptr);
        return;
    }
    auto changes = ParsePropertySet(body->data, static_cast<std::size_t>(body->length));
    if (!changes) {
        soup_server_message_set_status(message, SOUP_STATUS_BAD_REQUEST, nullptr);
        return;
    }
    const unsigned status =
        static_cast<UPnPEventSubscription*>(self)->Received(sid, seq, std::move(*changes));
    soup_server_message_set_status(message, status, nullptr);
}

unsigned UPnPEventSubscription::Received(const std::string& sid, std::uint32_t seq, Changes changes)
{
    if (!closed_ && !sid_.empty() && sid == sid_) {
        Accept(seq, changes);
        return SOUP_STATUS_OK;
    }
    // The answer naming this SID may still be on its way.
    if (!closed_ && subscribing_) {
        if (held_.size() < kMaxHeld)
            held_.push_back({sid, seq, std::move(changes)});
        return SOUP_STATUS_OK;
    }
    return SOUP_STATUS_PRECONDITION_FAILED;
}

void UPnPEventSubscription::Accept(std::uint32_t seq, const Changes& changes)
{
    // SEQ starts at 0 and wraps from its maximum to 1.
    const bool gap = seq != next_seq_;
    next_seq_ = seq == UINT32_MAX ? 1 : seq + 1;
    if (sink_ && !changes.empty())
        sink_(changes);
    if (gap) {
        // Events were lost: a new subscription's first event brings the whole state.
        SendUnsubscribe();
        Subscribe();
    }
}

} // namespace velk
