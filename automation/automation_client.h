// The client side of the automation server (automation_server.h): a connection that holds one
// client session for as long as it lives (the event stream it keeps open), the server's objects
// as remote objects that velkctl's expressions and the desktop programs drive by name like
// local ones, and the events of the objects it advises.
//
// Calls block the calling thread until the server answers; any thread may call. Events are
// delivered on the client's stream thread. Owned by whoever connects; remote objects keep the
// connection's call side alive, but once the client is gone their calls fail with
// RPC_E_DISCONNECTED.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "automation/dispatch.h"
#include "platform/event.h"

namespace httplib {
class Client;
}

namespace velk {

class AutomationConnection;

// The server could not be reached, or stopped answering: RPC_S_SERVER_UNAVAILABLE.
constexpr HRESULT kAutomationServerUnavailable = HRESULT_FROM_WIN32(1722);

// One object of the server, by its handle in the client's session. Its table is the server's
// table for the object's interface, fetched once per interface and connection.
class CRemoteObject : public IDispatchable {
public:
    CRemoteObject(std::shared_ptr<AutomationConnection> connection, std::uint64_t handle,
                  std::shared_ptr<const DispatchTable> table);

    const DispatchTable& Table() const override { return *table_; }
    // The member's result as the server reports it: a failure sets the thread's error record
    // from the server's. DISP_E_MEMBERNOTFOUND for a dispid the table lacks;
    // DISP_E_TYPEMISMATCH for an argument that cannot go to the server (a local object other
    // than a picture); E_INVALIDARG (with the server's message as description) for a request
    // the server refused; E_ACCESSDENIED for a wrong token or a member not offered remotely;
    // kAutomationServerUnavailable when the server does not answer.
    HRESULT Invoke(DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                   Variant& result) override;

    std::uint64_t handle() const { return handle_; }
    const AutomationConnection* connection() const { return connection_.get(); }

private:
    const std::shared_ptr<AutomationConnection> connection_;
    const std::uint64_t handle_;
    const std::shared_ptr<const DispatchTable> table_;
};

class AutomationClient {
public:
    // Called on the stream thread for each event of an advised object.
    using EventCallback =
        std::function<void(const DispatchablePtr& source, const std::string& member,
                           const std::vector<Variant>& args)>;

    // Connects to the server at host (a name or a numeric address) and opens a session.
    // E_ACCESSDENIED for a wrong token, kAutomationServerUnavailable when nothing answers.
    static HRESULT Connect(const std::string& host, std::uint16_t port, const std::string& token,
                           std::shared_ptr<AutomationClient>& client);

    // Closes the session: the server releases everything it held for this client. Not from
    // the client's own event callback, which runs on the thread this joins.
    ~AutomationClient();
    AutomationClient(const AutomationClient&) = delete;
    AutomationClient& operator=(const AutomationClient&) = delete;

    DispatchablePtr Root() const { return root_; }
    const std::string& session() const { return session_; }

    // Subscribes the session to a remote object's events; S_FALSE when it was already.
    // E_INVALIDARG for an object that is not one of this client's; E_NOINTERFACE for an object
    // without events.
    HRESULT Advise(const DispatchablePtr& object);

    // Sets the callback that receives the advised objects' events (events before it are
    // dropped); CloseEvents removes it, waiting for a call in progress on another thread.
    HRESULT OpenEvents(EventCallback callback);
    HRESULT CloseEvents();

private:
    AutomationClient(const std::string& host, std::uint16_t port, const std::string& token);
    HRESULT OpenSession();
    void ReadStream();
    // Hands on the complete events in buffer; false when the stream is to be dropped.
    bool TakeEvents(std::string& buffer);
    void Deliver(const std::string& member, const std::string& data);
    void StopStream();

    // "host:port", for what a user is told when the server cannot be reached.
    const std::string endpoint_;

    std::shared_ptr<AutomationConnection> connection_;
    DispatchablePtr root_;
    std::string session_;

    std::unique_ptr<httplib::Client> stream_http_;
    std::thread stream_thread_;
    std::mutex stream_mutex_;
    bool stopping_ = false;
    Event session_opened_;
    // Set before session_opened_ when the stream never opened.
    HRESULT stream_failure_ = S_OK;
    std::string stream_failure_text_;

    std::mutex advised_mutex_;
    std::map<std::uint64_t, DispatchablePtr> advised_;

    std::recursive_mutex callback_mutex_;
    EventCallback callback_;
};

} // namespace velk
