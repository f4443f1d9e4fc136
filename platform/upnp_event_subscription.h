// One GENA event subscription to a UPnP service, made on the UPnP loop thread with its
// context's own HTTP client and server. It stands in for gupnp's subscription, which drops a
// notification that arrives before the reply to its SUBSCRIBE (the device's first event, which
// holds every variable) and then takes the next event for a gap, subscribes again and drops that
// event too. Here a notification with an unknown SID is held while a SUBSCRIBE is under way and
// delivered once the reply names that SID; a real gap is delivered and followed by a fresh
// subscription, whose first event brings the whole state. Renews before the device's time-out,
// and unsubscribes on Close. Created, used and destroyed on the loop thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/upnp_loop.h"

namespace velk {

class UPnPEventSubscription : public std::enable_shared_from_this<UPnPEventSubscription> {
public:
    using Changes = std::vector<std::pair<std::string, std::string>>; // variable, value
    using Sink = std::function<void(const Changes& changes)>;

    static constexpr std::uint32_t kRequestedTimeoutS = 1800;
    // A subscription the device refused or could not be reached for is tried again this late.
    static constexpr std::uint32_t kRetryMs = 30000;
    // Notifications held while a SUBSCRIBE is under way, and the largest one read.
    static constexpr std::size_t kMaxHeld = 16;
    static constexpr std::size_t kMaxNotifyBytes = 1 << 20;

    // Takes a reference of context; Start sends the first SUBSCRIBE.
    UPnPEventSubscription(GUPnPContext* context, std::string event_url, Sink sink);
    ~UPnPEventSubscription();
    UPnPEventSubscription(const UPnPEventSubscription&) = delete;
    UPnPEventSubscription& operator=(const UPnPEventSubscription&) = delete;

    void Start();
    // Unsubscribes and stops listening; nothing reaches the sink afterwards.
    void Close();

private:
    struct Held {
        std::string sid;
        std::uint32_t seq;
        Changes changes;
    };
    struct Request;

    static void OnNotify(SoupServer* server, SoupServerMessage* message, const char* path,
                         GHashTable* query, gpointer self);
    static void OnResponse(GObject* source, GAsyncResult* result, gpointer data);

    // A request to the event URL; none when it is no URL.
    SoupMessage* NewRequest(const char* method) const;
    void Subscribe();
    void Renew();
    void Send(SoupMessage* message, bool renewal);
    // error: why no answer came; empty when one did.
    void Answered(SoupMessage* message, bool renewal, const std::string& error);
    void SendUnsubscribe();
    // The HTTP status for a notification.
    unsigned Received(const std::string& sid, std::uint32_t seq, Changes changes);
    void Accept(std::uint32_t seq, const Changes& changes);

    GUPnPContext* context_;
    const std::string event_url_;
    std::string path_; // where the device delivers, on the context's server
    Sink sink_;
    GCancellable* cancellable_;
    std::string sid_;            // the confirmed subscription; empty: none
    std::uint32_t next_seq_ = 0; // the SEQ the next notification should carry
    bool subscribing_ = false;   // a SUBSCRIBE for a new SID is under way
    std::vector<Held> held_;
    LoopTimer timer_; // the renewal, or the next try
    bool closed_ = false;
};

} // namespace velk
