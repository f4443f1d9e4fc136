#include "platform/hresult.h"

#include <cerrno>
#include <cstdio>

namespace velk {

const ErrorWord kRcpErrorWords[24] = {
    {"GenericError", E_RCP_GENERIC_ERROR},
    {"CommandDispatchError", E_RCP_COMMAND_DISPATCH_ERROR},
    {"ErrorDisconnected", E_RCP_DISCONNECTED},
    {"ErrorTransactionNotPending", E_RCP_TRANSACTION_NOT_PENDING},
    {"ErrorTransactionPending", E_RCP_TRANSACTION_PENDING},
    {"ParameterError", E_RCP_PARAMETER_ERROR},
    {"ConnectionFailedTooManyConnections", E_RCP_TOO_MANY_CONNECTIONS},
    {"UnknownCommand", E_RCP_UNKNOWN_COMMAND},
    {"ErrorNotSubscribed", E_RCP_NOT_SUBSCRIBED},
    {"ErrorNoServer", E_RCP_NO_SERVER},
    {"ConnectionFailedPassword", E_RCP_CONNECTION_FAILED_PASSWORD},
    {"ConnectionFailedUnknown", E_RCP_CONNECTION_FAILED_UNKNOWN},
    {"ResourceAllocationError", E_RCP_RESOURCE_ALLOCATION_ERROR},
    {"ConnectionFailedBusy", E_RCP_CONNECTION_FAILED_BUSY},
    {"ConnectionFailedForbidden", E_RCP_CONNECTION_FAILED_FORBIDDEN},
    {"ConnectionFailedWMCUnauthorized", E_RCP_CONNECTION_FAILED_WMC_UNAUTHORIZED},
    {"ConnectionFailedNoContact", E_RCP_CONNECTION_FAILED_NO_CONTACT},
    {"ConnectionFailedAlreadyConnected", E_RCP_CONNECTION_FAILED_ALREADY_CONNECTED},
    {"ErrorNoNetwork", E_RCP_NO_NETWORK},
    {"ErrorNotAllowedInDemoMode", E_RCP_NOT_ALLOWED_IN_DEMO_MODE},
    {"ErrorAlreadySet", E_RCP_ALREADY_SET},
    {"ErrorCantRunWithServerConnected", E_RCP_CANT_RUN_WITH_SERVER_CONNECTED},
    {"ErrorAwaitingPostUpgradeReboot", E_RCP_AWAITING_POST_UPGRADE_REBOOT},
    {"ErrorInitialSetupRequired", E_RCP_INITIAL_SETUP_REQUIRED},
};

HRESULT RcpErrorWordResult(std::string_view reply)
{
    for (const auto& entry : kRcpErrorWords) {
        if (entry.word == reply)
            return entry.hr;
    }
    return S_OK;
}

namespace {

struct Message {
    HRESULT hr;
    std::string_view text;
};

// The VelkRes message table.
constexpr Message kVelkRes[] = {
    {E_RCP_SOCKET, "The connection to the Melodeck could not be made or was lost."},
    {E_RCP_SHELL_DISABLED, "Remote control has been disabled on this Melodeck."},
    {E_RCP_FIRMWARE_TOO_OLD, "The Melodeck's firmware is too old for this command. Please upgrade it."},
    {E_RCP_TIMEOUT, "The Melodeck did not answer in time."},
    {E_RCP_NO_TRANSACTION, "The Melodeck answered a command that was not sent."},
    {E_RCP_GENERIC_ERROR, "The Melodeck reported an error."},
    {E_RCP_COMMAND_DISPATCH_ERROR, "The Melodeck could not carry out the command."},
    {E_RCP_DISCONNECTED, "The Melodeck is not connected to a music server."},
    {E_RCP_TRANSACTION_NOT_PENDING, "There is no operation in progress to cancel."},
    {E_RCP_TRANSACTION_PENDING, "The Melodeck is still busy with another operation."},
    {E_RCP_PARAMETER_ERROR, "The Melodeck rejected a value as invalid."},
    {E_RCP_TOO_MANY_CONNECTIONS, "The music server has too many connections."},
    {E_RCP_UNKNOWN_COMMAND, "The Melodeck does not know this command."},
    {E_RCP_NOT_SUBSCRIBED, "The Melodeck was not subscribed to these events."},
    {E_RCP_NO_SERVER, "No music server is available."},
    {E_RCP_CONNECTION_FAILED_PASSWORD, "The music server needs a password, or the password is wrong."},
    {E_RCP_CONNECTION_FAILED_UNKNOWN, "The connection to the music server failed."},
    {E_RCP_RESOURCE_ALLOCATION_ERROR, "The Melodeck ran out of resources."},
    {E_RCP_CONNECTION_FAILED_BUSY, "The music server is busy."},
    {E_RCP_CONNECTION_FAILED_FORBIDDEN, "The music server refused the connection."},
    {E_RCP_CONNECTION_FAILED_WMC_UNAUTHORIZED, "This Melodeck is not authorized on the media center."},
    {E_RCP_CONNECTION_FAILED_NO_CONTACT, "The music server does not answer."},
    {E_RCP_CONNECTION_FAILED_ALREADY_CONNECTED, "The Melodeck is already connected to this music server."},
    {E_RCP_NO_NETWORK, "The Melodeck has no network connection."},
    {E_RCP_NOT_ALLOWED_IN_DEMO_MODE, "This is not allowed while the Melodeck is in demo mode."},
    {E_RCP_ALREADY_SET, "The Melodeck already has this setting."},
    {E_RCP_CANT_RUN_WITH_SERVER_CONNECTED, "This cannot be done while a music server is connected."},
    {E_RCP_AWAITING_POST_UPGRADE_REBOOT, "The Melodeck must restart to finish its firmware upgrade."},
    {E_RCP_INITIAL_SETUP_REQUIRED, "The Melodeck's initial setup has not been completed."},
};

constexpr Message kSystemMessages[] = {
    {S_OK, "The operation completed successfully."},
    {S_FALSE, "The operation completed with nothing to do."},
    {E_PENDING, "The data necessary to complete this operation is not yet available."},
    {E_NOTIMPL, "Not implemented."},
    {E_NOINTERFACE, "No such interface supported."},
    {E_POINTER, "Invalid pointer."},
    {E_ABORT, "Operation aborted."},
    {E_FAIL, "Unspecified error."},
    {E_UNEXPECTED, "Catastrophic failure."},
    {E_ACCESSDENIED, "Access is denied."},
    {E_HANDLE, "The handle is invalid."},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {REGDB_E_CLASSNOTREG, "Class not registered."},
    {REGDB_E_READREGDB, "Could not read key from registry."},
    {CLASS_E_CLASSNOTAVAILABLE, "The module does not provide this class."},
    {CO_E_ELEVATION_DISABLED, "Elevation is disabled for this class."},
    {CO_E_DLLNOTFOUND, "The module of this class was not found."},
    {CO_E_ERRORINDLL, "The module of this class could not be loaded."},
    {RPC_E_DISCONNECTED, "The object invoked has disconnected from its clients."},
    {CO_E_NOTINITIALIZED, "This thread has no apartment."},
    {CONNECT_E_NOCONNECTION, "The connection is not registered."},
    {CONNECT_E_CANNOTCONNECT, "The sink cannot be connected."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_MEMBERNOTFOUND, "Member not found."},
    {DISP_E_UNKNOWNNAME, "Unknown name."},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    {STG_E_INVALIDFUNCTION, "Unable to perform requested operation."},
    {STG_E_ACCESSDENIED, "Access denied."},
    {STG_E_READFAULT, "A disk error occurred during a read operation."},
    {STG_E_WRITEFAULT, "A disk error occurred during a write operation."},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified."},
    {HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "The data is invalid."},
    {HRESULT_FROM_WIN32(ERROR_MORE_DATA), "More data is available."},
    {HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS), "No more data is available."},
    {HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED), "An attempt was made to perform an initialization operation when initialization has already been completed."},
    {HRESULT_FROM_WIN32(ERROR_SERVICE_REQUEST_TIMEOUT), "The service did not respond to the start or control request in a timely fashion."},
    {HRESULT_FROM_WIN32(ERROR_SERVICE_DOES_NOT_EXIST), "The specified service does not exist as an installed service."},
    {HRESULT_FROM_WIN32(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), "The service cannot accept control messages at this time."},
    {HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE), "The service has not been started."},
    {HRESULT_FROM_WIN32(ERROR_SHUTDOWN_IN_PROGRESS), "A system shutdown is in progress."},
    {HRESULT_FROM_WIN32(ERROR_TIMEOUT), "This operation returned because the timeout period expired."},
    {E_VELK_SHUTTING_DOWN, "The Velk Data Service is shutting down."},
};

std::string_view Lookup(const Message* begin, const Message* end, HRESULT hr)
{
    for (auto it = begin; it != end; ++it) {
        if (it->hr == hr)
            return it->text;
    }
    return {};
}

} // namespace

std::string_view VelkResMessage(HRESULT hr)
{
    return Lookup(std::begin(kVelkRes), std::end(kVelkRes), hr);
}

HRESULT HResultFromErrno(int error, HRESULT otherwise)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
        return E_ACCESSDENIED;
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return otherwise;
    }
}

std::string HResultHex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(hr));
    return text;
}

std::string HResultMessage(HRESULT hr)
{
    if (auto text = VelkResMessage(hr); !text.empty())
        return std::string(text);
    if (auto text = Lookup(std::begin(kSystemMessages), std::end(kSystemMessages), hr); !text.empty())
        return std::string(text);
    return "Error 0x" + HResultHex(hr) + ".";
}

} // namespace velk
