#include "platform/upnp_loop.h"

#include <algorithm>
#include <utility>

#include "platform/apartment.h"
#include "platform/event.h"

namespace velk {

std::shared_ptr<UPnPLoop> UPnPLoop::Get()
{
    static std::mutex mutex;
    static std::weak_ptr<UPnPLoop> running;
    std::lock_guard lock(mutex);
    std::shared_ptr<UPnPLoop> loop = running.lock();
    if (!loop) {
        loop.reset(new UPnPLoop());
        running = loop;
    }
    return loop;
}

UPnPLoop::UPnPLoop() : context_(g_main_context_new()), main_loop_(g_main_loop_new(context_, FALSE))
{
    try {
        thread_ = std::thread([this] {
            g_main_context_push_thread_default(context_);
            g_main_loop_run(main_loop_);
            g_main_context_pop_thread_default(context_);
        });
    } catch (...) {
        g_main_loop_unref(main_loop_);
        g_main_context_unref(context_);
        throw;
    }
}

UPnPLoop::~UPnPLoop()
{
    // Queued behind the releases of the last finders and services, so those still run there.
    Post([this] { Stop(); });
    thread_.join();
    g_main_loop_unref(main_loop_);
    g_main_context_unref(context_);
}

void UPnPLoop::Post(Task task)
{
    bool start;
    {
        std::lock_guard lock(mutex_);
        start = queue_.empty();
        queue_.push_back(std::move(task));
    }
    if (!start)
        return;
    GSource* source = g_idle_source_new();
    g_source_set_callback(source, &UPnPLoop::RunQueued, this, nullptr);
    g_source_attach(source, context_);
    g_source_unref(source);
}

gboolean UPnPLoop::RunQueued(gpointer self)
{
    auto* loop = static_cast<UPnPLoop*>(self);
    for (;;) {
        Task task;
        {
            std::lock_guard lock(loop->mutex_);
            if (loop->queue_.empty())
                return G_SOURCE_REMOVE;
            task = std::move(loop->queue_.front());
            loop->queue_.pop_front();
        }
        task();
    }
}

void UPnPLoop::Stop()
{
    stopping_ = true;
    if (exchanges_ == 0)
        Quit();
    else
        grace_.Start(kShutdownGraceMs, [this] { Quit(); });
}

void UPnPLoop::Quit()
{
    grace_.Stop();
    g_main_loop_quit(main_loop_);
}

void UPnPLoop::WatchSession(SoupSession* session)
{
    constexpr const char* kWatchedKey = "velk-upnp-loop";
    if (g_object_get_data(G_OBJECT(session), kWatchedKey))
        return;
    g_object_set_data(G_OBJECT(session), kWatchedKey, this);
    g_signal_connect(session, "request-queued", G_CALLBACK(OnRequestQueued), this);
    g_signal_connect(session, "request-unqueued", G_CALLBACK(OnRequestUnqueued), this);
}

void UPnPLoop::OnRequestQueued(SoupSession*, SoupMessage*, gpointer self)
{
    ++static_cast<UPnPLoop*>(self)->exchanges_;
}

void UPnPLoop::OnRequestUnqueued(SoupSession*, SoupMessage*, gpointer self)
{
    auto* loop = static_cast<UPnPLoop*>(self);
    if (loop->exchanges_ > 0)
        --loop->exchanges_;
    if (loop->stopping_ && loop->exchanges_ == 0)
        loop->Quit();
}

HRESULT UPnPLoop::Invoke(std::function<HRESULT()> fn)
{
    struct Result {
        std::mutex mutex;
        HRESULT hr = E_UNEXPECTED;
        Event done;
    };
    auto result = std::make_shared<Result>();
    Post([result, fn = std::move(fn)] {
        const HRESULT hr = fn();
        std::lock_guard lock(result->mutex);
        result->hr = hr;
        result->done.Set();
    });
    WaitWithPumping({result->done}, kInfinite);
    std::lock_guard lock(result->mutex);
    return result->hr;
}

void UPnPLoop::KeepDevice(const void* search, const std::string& udn, GUPnPDeviceProxy* proxy)
{
    g_object_ref(proxy);
    for (KeptDevice& kept : devices_) {
        if (kept.search == search && kept.udn == udn) {
            g_object_unref(std::exchange(kept.proxy, proxy));
            return;
        }
    }
    devices_.push_back({search, udn, proxy});
}

void UPnPLoop::DropDevice(const void* search, const std::string& udn)
{
    std::erase_if(devices_, [&](const KeptDevice& kept) {
        if (kept.search != search || kept.udn != udn)
            return false;
        g_object_unref(kept.proxy);
        return true;
    });
}

void UPnPLoop::DropDevices(const void* search)
{
    std::erase_if(devices_, [&](const KeptDevice& kept) {
        if (kept.search != search)
            return false;
        g_object_unref(kept.proxy);
        return true;
    });
}

GUPnPDeviceProxy* UPnPLoop::FindDevice(std::string_view udn) const
{
    for (auto kept = devices_.rbegin(); kept != devices_.rend(); ++kept) {
        if (kept->udn == udn)
            return kept->proxy;
    }
    return nullptr;
}

void LoopTimer::Start(std::uint32_t due_ms, std::function<void()> fn)
{
    Stop();
    fn_ = std::move(fn);
    source_ = g_timeout_source_new(due_ms);
    g_source_set_callback(source_, &LoopTimer::Fire, this, nullptr);
    g_source_attach(source_, g_main_context_get_thread_default());
}

void LoopTimer::Stop()
{
    if (!source_)
        return;
    g_source_destroy(source_);
    g_source_unref(source_);
    source_ = nullptr;
    fn_ = nullptr;
}

gboolean LoopTimer::Fire(gpointer self)
{
    auto* timer = static_cast<LoopTimer*>(self);
    g_source_unref(timer->source_);
    timer->source_ = nullptr;
    // The callback may destroy the timer: nothing of it is touched afterwards.
    const std::function<void()> fn = std::move(timer->fn_);
    timer->fn_ = nullptr;
    fn();
    return G_SOURCE_REMOVE;
}

} // namespace velk
