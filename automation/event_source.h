// What an object offers when programs outside its apartment may follow its events: dispatch
// sinks, called by the event's dispid with the event's arguments on the thread that fires it.
// The automation server advises its clients' sinks through it. Not an IUnknown of its own, so
// that an interface may add it beside IDispatchable without a second root.
#pragma once

#include "automation/dispatch.h"

namespace velk {

class IEventSource {
public:
    virtual ~IEventSource() = default;

    virtual HRESULT AdviseDispatch(DispatchablePtr sink, DWORD& cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie that is not advised.
    virtual HRESULT UnadviseDispatch(DWORD cookie) = 0;
};

} // namespace velk
