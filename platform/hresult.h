// Result codes: the HRESULT values every interface member returns, the player's error words and
// transport failures, and the thread's error record that scripts read after a failed call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;

constexpr HRESULT MakeHResult(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr std::uint32_t kFacilityWin32 = 7;
constexpr std::uint32_t kFacilityItf = 4;

constexpr std::uint32_t HResultFacility(HRESULT hr) { return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFF; }
constexpr std::uint32_t HResultCode(HRESULT hr) { return static_cast<std::uint32_t>(hr) & 0xFFFF; }

// A Win32 error number as an HRESULT (facility 7), as the system reports service-manager errors.
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t error)
{
    return error == 0 ? 0 : MakeHResult((error & 0xFFFF) | (kFacilityWin32 << 16) | 0x80000000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

constexpr HRESULT E_PENDING = MakeHResult(0x8000000A);
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
constexpr HRESULT E_HANDLE = MakeHResult(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);

constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
constexpr HRESULT REGDB_E_READREGDB = MakeHResult(0x80040150);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
constexpr HRESULT CO_E_ELEVATION_DISABLED = MakeHResult(0x80080017);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x8004E025);
constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);
constexpr HRESULT RPC_E_DISCONNECTED = MakeHResult(0x80010108);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0);
constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000E);
constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001);
constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005);
constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001E);
constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001D);

// Win32 errors the system reports as HRESULTs.
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_DATA = 13;
constexpr std::uint32_t ERROR_MORE_DATA = 234;
constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr std::uint32_t ERROR_ALREADY_INITIALIZED = 1247;
constexpr std::uint32_t ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr std::uint32_t ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr std::uint32_t ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
constexpr std::uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr std::uint32_t ERROR_SHUTDOWN_IN_PROGRESS = 1115;
constexpr std::uint32_t ERROR_CONNECTION_REFUSED = 1225;
constexpr std::uint32_t ERROR_TIMEOUT = 1460;
constexpr std::uint32_t WSAHOST_NOT_FOUND = 11001;

// Transport failures of the player connection.
constexpr HRESULT E_RCP_SOCKET = MakeHResult(0xC0030100);
constexpr HRESULT E_RCP_SHELL_DISABLED = MakeHResult(0xC0030108);
constexpr HRESULT E_RCP_FIRMWARE_TOO_OLD = MakeHResult(0xC0040208);
constexpr HRESULT E_RCP_TIMEOUT = MakeHResult(0xC0040209);
constexpr HRESULT E_RCP_NO_TRANSACTION = MakeHResult(0xC0040212);

// The player's error words, each settling a command with its own code.
constexpr HRESULT E_RCP_GENERIC_ERROR = MakeHResult(0xC0040200);
constexpr HRESULT E_RCP_COMMAND_DISPATCH_ERROR = MakeHResult(0xC0040201);
constexpr HRESULT E_RCP_DISCONNECTED = MakeHResult(0xC0040202);
constexpr HRESULT E_RCP_TRANSACTION_NOT_PENDING = MakeHResult(0xC0040203);
constexpr HRESULT E_RCP_TRANSACTION_PENDING = MakeHResult(0xC0040204);
constexpr HRESULT E_RCP_PARAMETER_ERROR = MakeHResult(0xC0040205);
constexpr HRESULT E_RCP_TOO_MANY_CONNECTIONS = MakeHResult(0xC0040206);
constexpr HRESULT E_RCP_UNKNOWN_COMMAND = MakeHResult(0xC0040207);
constexpr HRESULT E_RCP_NOT_SUBSCRIBED = MakeHResult(0xC0040210);
constexpr HRESULT E_RCP_NO_SERVER = MakeHResult(0xC004021A);
constexpr HRESULT E_RCP_CONNECTION_FAILED_PASSWORD = MakeHResult(0xC004021B);
constexpr HRESULT E_RCP_CONNECTION_FAILED_UNKNOWN = MakeHResult(0xC004021E);
constexpr HRESULT E_RCP_RESOURCE_ALLOCATION_ERROR = MakeHResult(0xC004021F);
constexpr HRESULT E_RCP_CONNECTION_FAILED_BUSY = MakeHResult(0xC0040221);
constexpr HRESULT E_RCP_CONNECTION_FAILED_FORBIDDEN = MakeHResult(0xC0040222);
constexpr HRESULT E_RCP_CONNECTION_FAILED_WMC_UNAUTHORIZED = MakeHResult(0xC0040223);
constexpr HRESULT E_RCP_CONNECTION_FAILED_NO_CONTACT = MakeHResult(0xC0040224);
constexpr HRESULT E_RCP_CONNECTION_FAILED_ALREADY_CONNECTED = MakeHResult(0xC0040225);
constexpr HRESULT E_RCP_NO_NETWORK = MakeHResult(0xC0040226);
constexpr HRESULT E_RCP_NOT_ALLOWED_IN_DEMO_MODE = MakeHResult(0xC0040227);
constexpr HRESULT E_RCP_ALREADY_SET = MakeHResult(0xC0040228);
constexpr HRESULT E_RCP_CANT_RUN_WITH_SERVER_CONNECTED = MakeHResult(0xC0040229);
constexpr HRESULT E_RCP_AWAITING_POST_UPGRADE_REBOOT = MakeHResult(0xC004022A);
constexpr HRESULT E_RCP_INITIAL_SETUP_REQUIRED = MakeHResult(0xC004022B);

// Service-side codes the player object returns.
constexpr HRESULT E_VELK_SHUTTING_DOWN = MakeHResult(0xC0000219);

struct ErrorWord {
    std::string_view word;
    HRESULT hr;
};

// The player's error words in the order the player documents them.
extern const ErrorWord kRcpErrorWords[24];

// The code for a reply text that is exactly an error word, or S_OK when it is none.
HRESULT RcpErrorWordResult(std::string_view reply);

// VelkRes: the user-facing message for an RCP code (error word or transport failure);
// empty for any other code.
std::string_view VelkResMessage(HRESULT hr);

// Text for any code: the VelkRes message for interface codes of 0x200 and above, the system's
// wording for the standard codes, and the hexadecimal code otherwise.
std::string HResultMessage(HRESULT hr);

// A failed system call's errno as the code callers expect (missing file, access denied, out of
// memory); any other error gives otherwise.
HRESULT HResultFromErrno(int error, HRESULT otherwise = E_FAIL);

// The hexadecimal form used in logs and reports: lower case, no prefix ("%lx").
std::string HResultHex(HRESULT hr);

} // namespace velk
