// A single-threaded apartment: a thread with a task queue. Objects placed in an apartment are
// touched only on its thread; other threads post tasks to it or invoke and wait. Every wait on
// an apartment thread runs the queue meanwhile (PumpUntil), so calls into the apartment are
// served while it waits, including calls that wait in turn (nested pumps).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "platform/event.h"
#include "platform/hresult.h"

namespace velk {

class Apartment : public std::enable_shared_from_this<Apartment> {
public:
    using Task = std::function<void()>;

    // Makes the calling thread an apartment for as long as the returned object is kept (and
    // closed on this thread). Fails with an empty pointer when the thread already is one.
    static std::shared_ptr<Apartment> Create();
    // The calling thread's apartment, or none.
    static std::shared_ptr<Apartment> Current();

    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

    // Queues a task; RPC_E_DISCONNECTED once the apartment is closed.
    HRESULT Post(Task task);
    // Runs fn on the apartment's thread and returns its result: inline on that thread; from
    // elsewhere post and wait (pumping the caller's own apartment meanwhile).
    // RPC_E_DISCONNECTED when the apartment closes before the task ran.
    HRESULT Invoke(std::function<HRESULT()> fn);

    // On the apartment's thread: runs queued tasks until one of the objects is signalled and
    // returns its index, or kWaitTimeout / kWaitFailed. Signalled objects win over queued tasks.
    int PumpUntil(std::span<const Waitable> objects, std::uint32_t timeout_ms);
    int PumpUntil(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms);
    // Runs tasks until stop is set.
    void Run(Event& stop) { PumpUntil({stop}, kInfinite); }

    // Refuses further tasks and drops the queued ones (their invokers get RPC_E_DISCONNECTED).
    void Close();

    // Asks the owner to wind down; any thread. From then on the waits on peers outside the
    // process that run on this thread give up (WaitOnPeer), however deeply the calls nest.
    void RequestStop() { stop_requested_.Set(); }
    Event& stop_requested() { return stop_requested_; }

    bool IsCurrent() const { return std::this_thread::get_id() == owner_; }

private:
    Apartment();
    bool RunOneTask();

    const std::thread::id owner_;
    std::mutex mutex_;
    std::deque<Task> queue_;
    Event queue_event_;
    bool closed_ = false;
    Event stop_requested_;
};

// Waits on the calling thread the way the system waits everywhere: on an apartment thread the
// queue keeps running, on any other thread it simply waits.
int WaitWithPumping(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms);

// What WaitOnPeer returns once the calling thread's apartment has been asked to stop.
constexpr int kWaitStopping = -3;

// WaitWithPumping for a peer outside the process (a player, a server), which may never answer:
// on an apartment that has been asked to stop it ends at once with kWaitStopping.
int WaitOnPeer(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms);

// A thread of its own running an apartment until this object goes; queued tasks are dropped
// then.
class ApartmentThread {
public:
    ApartmentThread();
    ~ApartmentThread();
    ApartmentThread(const ApartmentThread&) = delete;
    ApartmentThread& operator=(const ApartmentThread&) = delete;

    const std::shared_ptr<Apartment>& apartment() const { return apartment_; }

private:
    Event stop_;
    std::shared_ptr<Apartment> apartment_;
    std::thread thread_;
};

} // namespace velk
