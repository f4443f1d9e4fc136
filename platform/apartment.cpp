#include "platform/apartment.h"

#include <vector>

namespace velk {

namespace {

thread_local std::weak_ptr<Apartment> t_apartment;

// The result of an invoke, shared between the waiting caller and the queued task. A task that
// is dropped unrun still completes the invoke, so no caller waits for ever.
struct InvokeState {
    HRESULT hr = RPC_E_DISCONNECTED;
    Event done;
};

class InvokeCompletion {
public:
    explicit InvokeCompletion(std::shared_ptr<InvokeState> state) : state_(std::move(state)) {}
    InvokeCompletion(InvokeCompletion&& other) noexcept = default;
    ~InvokeCompletion()
    {
        if (state_)
            state_->done.Set();
    }
    InvokeState& state() { return *state_; }

private:
    std::shared_ptr<InvokeState> state_;
};

} // namespace

Apartment::Apartment() : owner_(std::this_thread::get_id()) {}

Apartment::~Apartment() { Close(); }

std::shared_ptr<Apartment> Apartment::Create()
{
    if (!t_apartment.expired())
        return nullptr;
    std::shared_ptr<Apartment> apartment(new Apartment());
    t_apartment = apartment;
    return apartment;
}

std::shared_ptr<Apartment> Apartment::Current() { return t_apartment.lock(); }

HRESULT Apartment::Post(Task task)
{
    std::lock_guard lock(mutex_);
    if (closed_)
        return RPC_E_DISCONNECTED;
    queue_.push_back(std::move(task));
    queue_event_.Set();
    return S_OK;
}

HRESULT Apartment::Invoke(std::function<HRESULT()> fn)
{
    if (IsCurrent())
        return fn();

    auto state = std::make_shared<InvokeState>();
    auto completion = std::make_shared<InvokeCompletion>(state);
    HRESULT hr = Post([completion, fn = std::move(fn)] { completion->state().hr = fn(); });
    if (FAILED(hr))
        return hr;
    completion.reset();
    WaitWithPumping({state->done}, kInfinite);
    return state->hr;
}

bool Apartment::RunOneTask()
{
    Task task;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) {
            queue_event_.Reset();
            return false;
        }
        task = std::move(queue_.front());
        queue_.pop_front();
        if (queue_.empty())
            queue_event_.Reset();
    }
    task();
    return true;
}

int Apartment::PumpUntil(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms)
{
    return PumpUntil(std::span<const Waitable>(objects.begin(), objects.size()), timeout_ms);
}

int Apartment::PumpUntil(std::span<const Waitable> objects, std::uint32_t timeout_ms)
{
    std::vector<Waitable> waits(objects.begin(), objects.end());
    waits.push_back(queue_event_);
    const int queue_index = static_cast<int>(objects.size());

    const Deadline deadline(timeout_ms);
    for (;;) {
        const int signalled = WaitAny(waits, deadline.RemainingMs());
        if (signalled != queue_index)
            return signalled;
        RunOneTask();
        // A queue that never empties must not outlast the time-out.
        if (deadline.Expired())
            return WaitAny(objects, 0);
    }
}

void Apartment::Close()
{
    std::deque<Task> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(queue_);
        queue_event_.Reset();
    }
    if (IsCurrent() && t_apartment.lock().get() == this)
        t_apartment.reset();
    // Destroying the dropped tasks completes their invokes.
}

int WaitWithPumping(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms)
{
    if (auto apartment = Apartment::Current())
        return apartment->PumpUntil(objects, timeout_ms);
    return WaitAny(objects, timeout_ms);
}

int WaitOnPeer(std::initializer_list<Waitable> objects, std::uint32_t timeout_ms)
{
    auto apartment = Apartment::Current();
    if (!apartment)
        return WaitAny(objects, timeout_ms);
    // The stop first: a peer that keeps its socket readable must not hide it.
    std::vector<Waitable> waits = {apartment->stop_requested()};
    waits.insert(waits.end(), objects.begin(), objects.end());
    const int signalled = apartment->PumpUntil(waits, timeout_ms);
    if (signalled == 0)
        return kWaitStopping;
    return signalled > 0 ? signalled - 1 : signalled;
}

ApartmentThread::ApartmentThread()
{
    Event ready;
    thread_ = std::thread([this, &ready] {
        auto apartment = Apartment::Create();
        apartment_ = apartment;
        ready.Set();
        apartment->Run(stop_);
        apartment->Close();
    });
    ready.Wait();
}

ApartmentThread::~ApartmentThread()
{
    stop_.Set();
    thread_.join();
}

} // namespace velk
