// The global interface table: how one thread reaches an object that lives in another
// apartment. An object is registered with its owner apartment under a cookie; Invoke runs a
// call on the object in that apartment and waits for it. The table holds the object until the
// cookie is revoked.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/apartment.h"
#include "platform/unknown.h"

namespace velk {

class Git {
public:
    // The process-wide table.
    static Git& Global();

    // Registers the object with the calling thread's apartment (CO_E_NOTINITIALIZED when the
    // thread has none) or with the given one.
    HRESULT Register(UnknownPtr object, DWORD& cookie);
    HRESULT Register(UnknownPtr object, std::shared_ptr<Apartment> owner, DWORD& cookie);
    // E_INVALIDARG for a cookie that is not registered.
    HRESULT Revoke(DWORD cookie);

    // Runs fn(object) in the owner apartment and returns its result. E_INVALIDARG for an
    // unknown or revoked cookie; RPC_E_DISCONNECTED when the owner apartment has gone.
    HRESULT Invoke(DWORD cookie, const std::function<HRESULT(const UnknownPtr&)>& fn);

    // Queues fn(object) in the owner apartment and returns at once: for threads that must never
    // wait for that apartment. Calls posted from one thread run in the order they were posted.
    // E_INVALIDARG for an unknown cookie; RPC_E_DISCONNECTED when the owner apartment has gone.
    HRESULT Post(DWORD cookie, std::function<void(const UnknownPtr&)> fn);

    // The same as Invoke, asking the object for interface T first (E_NOINTERFACE when it has none).
    template <class T>
    HRESULT Invoke(DWORD cookie, const std::function<HRESULT(T&)>& fn)
    {
        return Invoke(cookie, [&fn](const UnknownPtr& object) {
            auto typed = std::dynamic_pointer_cast<T>(object);
            return typed ? fn(*typed) : E_NOINTERFACE;
        });
    }

private:
    // The registered object and its live owner apartment.
    HRESULT Find(DWORD cookie, UnknownPtr& object, std::shared_ptr<Apartment>& owner);

    struct Entry {
        UnknownPtr object;
        std::weak_ptr<Apartment> owner;
    };

    std::mutex mutex_;
    DWORD next_cookie_ = 0x100;
    std::unordered_map<DWORD, Entry> entries_;
};

} // namespace velk
