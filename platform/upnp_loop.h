// The GLib main loop that runs the UPnP control point: one thread per process, started when the
// first finder or service needs it and ended when the last of them goes. Every gupnp object is
// created, used and released on this thread (its context is the thread default there, without
// which gupnp silently discovers nothing); other threads reach it only by posting tasks. It also
// keeps the devices the running searches report, so that a service can be opened from a
// device's plain description. Private to the UPnP layer: no class outside it includes gupnp.
#pragma once

#include <libgupnp/gupnp.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/hresult.h"

namespace velk {

// A one-shot timer on the loop thread. Starting it again or destroying it cancels the pending
// call. The callback may destroy the timer's owner.
class LoopTimer {
public:
    LoopTimer() = default;
    ~LoopTimer() { Stop(); }
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    void Start(std::uint32_t due_ms, std::function<void()> fn);
    void Stop();
    bool pending() const { return source_ != nullptr; }

private:
    static gboolean Fire(gpointer self);

    GSource* source_ = nullptr;
    std::function<void()> fn_;
};

class UPnPLoop {
public:
    using Task = std::function<void()>;

    // When the last user goes, the HTTP exchanges still under way (the unsubscribes of the
    // services just closed) may finish for up to this long before the thread ends; the last
    // user's release waits for that.
    static constexpr std::uint32_t kShutdownGraceMs = 2000;

    // The running loop, started on first use. Throws std::system_error when no thread can be
    // started.
    static std::shared_ptr<UPnPLoop> Get();

    ~UPnPLoop();
    UPnPLoop(const UPnPLoop&) = delete;
    UPnPLoop& operator=(const UPnPLoop&) = delete;

    // Queues a task for the loop thread; tasks run in the order they were posted, and each is
    // also destroyed there, so a task may carry the last reference of a loop-side object.
    void Post(Task task);
    // Runs fn on the loop thread and returns its result; the caller waits the way the system
    // waits (an apartment keeps its queue running). Never from the loop thread itself.
    HRESULT Invoke(std::function<HRESULT()> fn);
    bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

    // Loop thread only: the devices the running searches report present, so that a service
    // can be opened from a device's plain description. A search keeps the newest proxy of each
    // of its devices, from the report until it reports the device removed.
    void KeepDevice(const void* search, const std::string& udn, GUPnPDeviceProxy* proxy);
    void DropDevice(const void* search, const std::string& udn);
    void DropDevices(const void* search);
    // The proxy kept for the device; none when no search reports it.
    GUPnPDeviceProxy* FindDevice(std::string_view udn) const;
    // Loop thread only: counts the exchanges under way on the session of a context, for the
    // thread's end. Once per session; later calls change nothing.
    void WatchSession(SoupSession* session);

private:
    UPnPLoop();
    static gboolean RunQueued(gpointer self);
    static void OnRequestQueued(SoupSession* session, SoupMessage* message, gpointer self);
    static void OnRequestUnqueued(SoupSession* session, SoupMessage* message, gpointer self);
    // Loop thread: ends the loop once no exchange is under way, or after the grace time.
    void Stop();
    void Quit();

    GMainContext* context_;
    GMainLoop* main_loop_;
    std::mutex mutex_;
    std::deque<Task> queue_;
    struct KeptDevice {
        const void* search;
        std::string udn;
        GUPnPDeviceProxy* proxy; // a reference of its own
    };
    std::vector<KeptDevice> devices_; // loop thread only
    int exchanges_ = 0;               // loop thread only
    bool stopping_ = false;           // loop thread only
    LoopTimer grace_;
    std::thread thread_;
};

// A string gupnp handed over (freed here); empty for none.
inline std::string TakeString(char* text)
{
    std::string taken = text ? text : "";
    g_free(text);
    return taken;
}

} // namespace velk
