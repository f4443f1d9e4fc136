#include "service/server_registration.h"

#include <string>
#include <string_view>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/registry.h"
#include "velk/ivelk_data_service.h"

namespace velk {

namespace {

constexpr std::string_view kServiceName = "Velk";
constexpr std::string_view kLocalService = "LocalService";
constexpr std::string_view kExeAppIdKey = "AppID\\Velk.EXE";
constexpr std::string_view kTypeLibVersion = "1.0";
constexpr std::string_view kTypeLibName = "Velk 1.0 Data Server Type Library";
constexpr std::string_view kDataProvidersKey = "SOFTWARE\\Velk\\DataServer\\DataProviders";
constexpr std::string_view kITunesKey = "SOFTWARE\\Velk\\DataServer\\iTunes";

constexpr std::string_view kSynchronousDescription = "Velk Melodeck Synchronous Data Services";
constexpr std::string_view kAsynchronousDescription = "Velk Melodeck Asynchronous Data Services";

// The capture class is an OLE data object: the formats it offers by GetData/SetData and its
// OLEMISC bits.
constexpr std::string_view kDefaultFileFormat = "2";
constexpr std::string_view kGetSetFormat = "3,1,1,1";
constexpr std::string_view kMiscStatus = "74256";

// The classes the program serves as a local server.
struct ServedClass {
    Guid clsid;
    const char* user_type_name;
    const char* prog_id;
    const char* version_independent_prog_id;
    bool programmable;
    bool data_formats;

    ClassInfo Info() const
    {
        return {clsid, user_type_name, prog_id, version_independent_prog_id, {}, true};
    }
};

constexpr ServedClass kServedClasses[] = {
    {CLSID_VelkDataService, "Velk Data Service Class", "Velk.DataService.1", "Velk.DataService",
     true, false},
    {CLSID_RCPBitmap, "RCP Bitmap class", "", "", false, true},
    {CLSID_RCPRegion, "RCPRegion Class", "Velk.RCPRegion.1", "Velk.RCPRegion", true, false},
};

std::string AppIdKey()
{
    return "AppID\\" + APPID_Velk.ToString();
}
std::string TypeLibKey()
{
    return "TypeLib\\" + LIBID_VelkLib.ToString();
}
std::string ClassKey(const Guid& clsid)
{
    return "CLSID\\" + clsid.ToString();
}

bool IsNotFound(HRESULT hr)
{
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

HRESULT SetDefault(Hive hive, const std::string& path, std::string_view value)
{
    RegKey key;
    HRESULT hr = key.Create(hive, path);
    return FAILED(hr) ? hr : key.SetStringValue("", value);
}

HRESULT CreateKey(Hive hive, const std::string& path)
{
    RegKey key;
    return key.Create(hive, path);
}

HRESULT DeleteTreeIfPresent(Hive hive, std::string_view path)
{
    RegKey root;
    HRESULT hr = root.Open(hive, "", RegAccess::All);
    if (SUCCEEDED(hr))
        hr = root.DeleteTree(path);
    return IsNotFound(hr) ? S_OK : hr;
}

// Runs steps in one transaction over the machine hive's file (HKLM and HKCR).
template <class Steps> HRESULT InTransaction(Steps&& steps)
{
    Registry::Transaction transaction;
    HRESULT hr = transaction.Begin(Hive::ClassesRoot);
    if (SUCCEEDED(hr))
        hr = transaction.Begin(Hive::LocalMachine);
    if (SUCCEEDED(hr))
        hr = steps();
    return FAILED(hr) ? hr : transaction.Commit();
}

HRESULT RegisterAppId()
{
    HRESULT hr = SetDefault(Hive::ClassesRoot, AppIdKey(), kServiceName);
    RegKey exe;
    if (SUCCEEDED(hr))
        hr = exe.Create(Hive::ClassesRoot, std::string(kExeAppIdKey));
    if (SUCCEEDED(hr))
        hr = exe.SetStringValue("AppID", APPID_Velk.ToString());
    if (SUCCEEDED(hr))
        hr = ClassRegistry::RegisterCategory(CATID_VelkSynchronousDataServices,
                                             kSynchronousDescription);
    if (SUCCEEDED(hr))
        hr = ClassRegistry::RegisterCategory(CATID_VelkAsynchronousDataServices,
                                             kAsynchronousDescription);
    return hr;
}

// What the class key holds beyond what every class has: the AppID, the type library and, as
// the class says, "Programmable" or the data formats.
HRESULT RegisterClassExtras(const ServedClass& served)
{
    const std::string key = ClassKey(served.clsid);
    RegKey class_key;
    HRESULT hr = class_key.Open(Hive::ClassesRoot, key, RegAccess::All);
    if (SUCCEEDED(hr))
        hr = class_key.SetStringValue("AppID", APPID_Velk.ToString());
    if (SUCCEEDED(hr))
        hr = SetDefault(Hive::ClassesRoot, key + "\\TypeLib", LIBID_VelkLib.ToString());
    if (SUCCEEDED(hr) && served.programmable)
        hr = CreateKey(Hive::ClassesRoot, key + "\\Programmable");
    if (SUCCEEDED(hr) && served.data_formats) {
        hr = SetDefault(Hive::ClassesRoot, key + "\\DataFormats\\DefaultFile", kDefaultFileFormat);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, key + "\\DataFormats\\GetSet\\0", kGetSetFormat);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, key + "\\MiscStatus", kMiscStatus);
    }
    return hr;
}

HRESULT RegisterTypeLib(const std::filesystem::path& program)
{
    const std::string key = TypeLibKey() + "\\" + std::string(kTypeLibVersion);
    HRESULT hr = SetDefault(Hive::ClassesRoot, key, kTypeLibName);
    if (SUCCEEDED(hr))
        hr = SetDefault(Hive::ClassesRoot, key + "\\FLAGS", "0");
    if (SUCCEEDED(hr))
        hr = SetDefault(Hive::ClassesRoot, key + "\\0\\win32", program.string());
    if (SUCCEEDED(hr))
        hr = SetDefault(Hive::ClassesRoot, key + "\\HELPDIR", program.parent_path().string());
    return hr;
}

} // namespace

HRESULT ServerRegistration::Register(const std::filesystem::path& program)
{
    HRESULT hr = InTransaction(RegisterAppId);
    // A class's own keys and ProgIDs are one transaction of their own.
    for (const auto& served : kServedClasses) {
        if (SUCCEEDED(hr))
            hr = ClassRegistry::RegisterClass(served.Info(), program.string());
    }
    if (FAILED(hr))
        return hr;
    return InTransaction([&] {
        HRESULT step = S_OK;
        for (const auto& served : kServedClasses) {
            if (SUCCEEDED(step))
                step = RegisterClassExtras(served);
        }
        if (SUCCEEDED(step))
            step = RegisterTypeLib(program);
        if (SUCCEEDED(step))
            step = CreateKey(Hive::LocalMachine, std::string(kDataProvidersKey));
        if (SUCCEEDED(step))
            step = CreateKey(Hive::LocalMachine, std::string(kITunesKey));
        return step;
    });
}

HRESULT ServerRegistration::Unregister()
{
    HRESULT hr = S_OK;
    for (const auto& served : kServedClasses) {
        if (SUCCEEDED(hr))
            hr = ClassRegistry::UnregisterClass(served.Info());
    }
    if (FAILED(hr))
        return hr;
    return InTransaction([] {
        HRESULT step = S_OK;
        for (const std::string& path : {TypeLibKey(), AppIdKey(), std::string(kExeAppIdKey)}) {
            if (SUCCEEDED(step))
                step = DeleteTreeIfPresent(Hive::ClassesRoot, path);
        }
        if (SUCCEEDED(step))
            step = DeleteTreeIfPresent(Hive::LocalMachine, kDataProvidersKey);
        if (SUCCEEDED(step))
            step = DeleteTreeIfPresent(Hive::LocalMachine, kITunesKey);
        return step;
    });
}

HRESULT ServerRegistration::SetLocalService(bool service)
{
    RegKey key;
    if (service) {
        HRESULT hr = key.Create(Hive::ClassesRoot, AppIdKey());
        return FAILED(hr) ? hr : key.SetStringValue(kLocalService, kServiceName);
    }
    HRESULT hr = key.Open(Hive::ClassesRoot, AppIdKey(), RegAccess::All);
    if (SUCCEEDED(hr))
        hr = key.DeleteValue(kLocalService);
    return IsNotFound(hr) ? S_OK : hr;
}

bool ServerRegistration::IsLocalService()
{
    RegKey key;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    return SUCCEEDED(key.Open(Hive::ClassesRoot, AppIdKey())) &&
           SUCCEEDED(key.QueryValue(kLocalService, type, data)) && type == REG_SZ;
}

} // namespace velk
