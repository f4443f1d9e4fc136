// A list of callbacks that a subject calls when something happens, each registered under an
// id so that its owner can remove it again. Single-threaded: used on the loop thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

namespace velk::sim {

template <typename... Args> class Listeners {
public:
    using Id = std::uint64_t;
    using Callback = std::function<void(Args...)>;

    Id Add(Callback callback)
    {
        const Id id = next_id_++;
        callbacks_.emplace(id, std::move(callback));
        return id;
    }
    void Remove(Id id) { callbacks_.erase(id); }
    bool empty() const { return callbacks_.empty(); }

    // A callback may remove itself or others while the list is being called.
    void Call(Args... args)
    {
        for (auto it = callbacks_.begin(); it != callbacks_.end();) {
            const Id id = it->first;
            Callback callback = it->second;
            callback(args...);
            it = callbacks_.upper_bound(id);
        }
    }

private:
    std::map<Id, Callback> callbacks_;
    Id next_id_ = 1;
};

} // namespace velk::sim
