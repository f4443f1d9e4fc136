// The automation server: the objects of one apartment, starting at a root object, offered to
// other programs over HTTP/1.1 with JSON bodies and a server-sent event stream.
//
//     GET  /events              opens a client session: the stream's first event is "session"
//                               with {"session": id}; the session lasts as long as the stream
//     POST /call                {"object": handle, "member": name, "kind": "get"|"put"|"method",
//                               "args": [values]} -> {"result": value} (with "hresult" when the
//                               member succeeded with another code than S_OK), or a failure
//                               {"hresult": code, "message": text, "description": ...}
//     GET  /table?object=N      the object's dispatch table, for clients to drive it by name
//     POST /advise              {"object": handle}: the object's events go out on the session's
//                               stream as `event: <member>` with {"object": handle, "args": [..]}
//     GET  <page prefix>...     a page of Options::pages, as text/html
//
// Values are those of json_value.h. Handle 0 is the root; every other object a session receives
// gets a handle in that session's table, and only that session can use it. Calls name their
// session in the X-Velk-Session header; a call without one runs in a session of its own that
// ends with the call. When a session ends (its stream closes, or the server stops) its handles
// are released, its advised sinks unadvised, and the MonitorRemoteKey / MonitorDisplay requests
// it made are taken back.
//
// Requests are refused before any work when they come from another web page or name another
// host (see request_origin.h: 403, 421), when a call or advice is not sent as application/json
// (415), and when the request goes beyond the transport's limits (http_server.h: 408, 411, 413,
// 431). Bodies that are not what the request needs (JSON nested too deep or with too many values
// included), unknown handles and sessions: 400 with {"message": ...}. A wrong or missing token:
// 401, nothing done (the token goes as `Authorization: Bearer <token>`, or from browsers as the
// password of basic authentication). Members that write files by path (SaveTo...): 403.
//
// Every object call runs on the apartment given (Apartment::Invoke); the HTTP threads only parse
// and format. Start and Stop on any thread; Stop on the apartment's own thread runs the
// apartment's queue while it waits for the connections to end.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "platform/apartment.h"

namespace velk {

class AutomationServer {
public:
    static constexpr std::uint16_t kDefaultPort = 4445;

    struct Options {
        // A numeric address. Any but a loopback one needs a token.
        std::string address = "127.0.0.1";
        // 0: a free port, reported by port().
        std::uint16_t port = kDefaultPort;
        // When set, every request must carry `Authorization: Bearer <token>`.
        std::string token;
        // Names clients may give the endpoint in their Host header, beside its numeric
        // addresses and "localhost".
        std::vector<std::string> host_names;
        // A client session opened or ended (the service counts them as external locks).
        // Called on the apartment's thread.
        std::function<void()> on_client_opened;
        std::function<void()> on_client_closed;
        // The events of event sources by the interface name of the source's dispatch table,
        // so that the stream names them; events of other sources go out under their dispid.
        std::map<std::string, DispatchTable> event_tables;
        // Pages for browsers by path prefix: "/display/" serves its page for every
        // "/display/<rest>" (the page reads the rest from its address). They are served under
        // the same rules as every request; where a token is set, a browser gives it as the
        // password of HTTP basic authentication (any user name), which it then sends with the
        // page's own requests.
        std::map<std::string, std::string> pages;
    };

    AutomationServer(std::shared_ptr<Apartment> apartment, DispatchablePtr root, Options options);
    ~AutomationServer();
    AutomationServer(const AutomationServer&) = delete;
    AutomationServer& operator=(const AutomationServer&) = delete;

    // Binds and starts serving. E_INVALIDARG (with an error record) for an address other than
    // loopback without a token or an address that is not numeric; the failure of bind
    // (HRESULT_FROM_WIN32(WSAEADDRINUSE) for a port in use); E_UNEXPECTED when started before.
    HRESULT Start();
    // Closes every stream, ends every session and joins the threads.
    void Stop();

    std::uint16_t port() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace velk
