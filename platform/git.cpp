#include "platform/git.h"

namespace velk {

Git& Git::Global()
{
    static Git table;
    return table;
}

HRESULT Git::Register(UnknownPtr object, DWORD& cookie)
{
    auto owner = Apartment::Current();
    if (!owner)
        return CO_E_NOTINITIALIZED;
    return Register(std::move(object), std::move(owner), cookie);
}

HRESULT Git::Register(UnknownPtr object, std::shared_ptr<Apartment> owner, DWORD& cookie)
{
    if (!object || !owner)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    // Cookies are never zero and never reused while registered.
    do {
        cookie = next_cookie_++;
    } while (cookie == 0 || entries_.contains(cookie));
    entries_.emplace(cookie, Entry{std::move(object), owner});
    return S_OK;
}

HRESULT Git::Revoke(DWORD cookie)
{
    UnknownPtr released;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(cookie);
        if (it == entries_.end())
            return E_INVALIDARG;
        released = std::move(it->second.object);
        entries_.erase(it);
    }
    // The object may go here, outside the table lock.
    return S_OK;
}

HRESULT Git::Find(DWORD cookie, UnknownPtr& object, std::shared_ptr<Apartment>& owner)
{
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(cookie);
        if (it == entries_.end())
            return E_INVALIDARG;
        object = it->second.object;
        owner = it->second.owner.lock();
    }
    return owner ? S_OK : RPC_E_DISCONNECTED;
}

HRESULT Git::Invoke(DWORD cookie, const std::function<HRESULT(const UnknownPtr&)>& fn)
{
    UnknownPtr object;
    std::shared_ptr<Apartment> owner;
    HRESULT hr = Find(cookie, object, owner);
    if (FAILED(hr))
        return hr;
    return owner->Invoke([&] { return fn(object); });
}

HRESULT Git::Post(DWORD cookie, std::function<void(const UnknownPtr&)> fn)
{
    UnknownPtr object;
    std::shared_ptr<Apartment> owner;
    HRESULT hr = Find(cookie, object, owner);
    if (FAILED(hr))
        return hr;
    return owner->Post([object = std::move(object), fn = std::move(fn)] { fn(object); });
}

} // namespace velk
