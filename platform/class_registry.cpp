#include "platform/class_registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kClsidKey = "CLSID";
constexpr const char* kCategoriesKey = "Component Categories";
constexpr const char* kImplementedCategories = "Implemented Categories";
constexpr const char* kEnglishDescription = "409";

std::string ClassKeyPath(const Guid& clsid) { return std::string(kClsidKey) + "\\" + clsid.ToString(); }

bool IsNotFound(HRESULT hr) { return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }

// Modules are loaded once and kept: objects, class objects and anything they handed out may
// live anywhere in the process.
class LoadedModules {
public:
    HRESULT Load(const std::string& path, void*& handle)
    {
        std::lock_guard lock(mutex_);
        if (auto it = modules_.find(path); it != modules_.end()) {
            handle = it->second;
            return S_OK;
        }
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            return CO_E_DLLNOTFOUND;
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return CO_E_ERRORINDLL;
        modules_.emplace(path, handle);
        return S_OK;
    }

private:
    std::mutex mutex_;
    std::map<std::string, void*> modules_;
};

LoadedModules& Modules()
{
    static LoadedModules modules;
    return modules;
}

template <class Fn>
HRESULT LoadEntryPoint(const std::string& path, const char* name, Fn& fn)
{
    void* handle = nullptr;
    HRESULT hr = Modules().Load(path, handle);
    if (FAILED(hr))
        return hr;
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
    return fn ? S_OK : CO_E_ERRORINDLL;
}

HRESULT SetDefault(Hive hive, const std::string& path, std::string_view value)
{
    RegKey key;
    HRESULT hr = key.Create(hive, path);
    return FAILED(hr) ? hr : key.SetStringValue("", value);
}

HRESULT DeleteTreeIfPresent(RegKey& root, const std::string& path)
{
    HRESULT hr = root.DeleteTree(path);
    return IsNotFound(hr) ? S_OK : hr;
}

} // namespace

HRESULT ClassRegistry::CreateInstance(const Guid& clsid, UnknownPtr& object)
{
    RegKey key;
    std::string path;
    HRESULT hr = key.Open(Hive::ClassesRoot, ClassKeyPath(clsid) + "\\InprocServer32");
    if (SUCCEEDED(hr))
        hr = key.QueryStringValue("", path);
    if (FAILED(hr) || path.empty())
        return IsNotFound(hr) || path.empty() ? REGDB_E_CLASSNOTREG : hr;

    VelkGetClassObjectFn get_class_object = nullptr;
    hr = LoadEntryPoint(path, "VelkGetClassObject", get_class_object);
    if (FAILED(hr))
        return hr;
    std::shared_ptr<IClassFactory> factory;
    hr = get_class_object(&clsid, &factory);
    if (FAILED(hr))
        return hr;
    if (!factory)
        return CLASS_E_CLASSNOTAVAILABLE;
    hr = factory->CreateInstance(object);
    if (SUCCEEDED(hr) && !object)
        return E_UNEXPECTED;
    return hr;
}

HRESULT ClassRegistry::RegisterModule(const std::string& path)
{
    std::error_code error;
    const std::string absolute = std::filesystem::weakly_canonical(path, error).string();
    VelkRegisterServerFn register_server = nullptr;
    HRESULT hr = LoadEntryPoint(error ? path : absolute, "VelkRegisterServer", register_server);
    return FAILED(hr) ? hr : register_server();
}

HRESULT ClassRegistry::UnregisterModule(const std::string& path)
{
    std::error_code error;
    const std::string absolute = std::filesystem::weakly_canonical(path, error).string();
    VelkUnregisterServerFn unregister_server = nullptr;
    HRESULT hr = LoadEntryPoint(error ? path : absolute, "VelkUnregisterServer", unregister_server);
    return FAILED(hr) ? hr : unregister_server();
}

HRESULT ClassRegistry::RegisterClass(const ClassInfo& info, const std::string& server_path)
{
    Registry::Transaction transaction;
    HRESULT hr = transaction.Begin(Hive::ClassesRoot);
    if (FAILED(hr))
        return hr;

    const std::string class_key = ClassKeyPath(info.clsid);
    const std::string clsid = info.clsid.ToString();
    RegKey key;
    hr = key.Create(Hive::ClassesRoot, class_key);
    if (SUCCEEDED(hr))
        hr = key.SetStringValue("", info.user_type_name);

    RegKey server;
    if (SUCCEEDED(hr))
        hr = server.Create(key, info.local_server ? "LocalServer32" : "InprocServer32");
    if (SUCCEEDED(hr))
        hr = server.SetStringValue("", server_path);
    if (SUCCEEDED(hr) && !info.local_server)
        hr = server.SetStringValue("ThreadingModel", info.threading_model);

    for (const auto& catid : info.implemented_categories) {
        RegKey category;
        if (SUCCEEDED(hr))
            hr = category.Create(key, std::string(kImplementedCategories) + "\\" + catid.ToString());
    }

    if (SUCCEEDED(hr) && !info.prog_id.empty()) {
        hr = SetDefault(Hive::ClassesRoot, class_key + "\\ProgID", info.prog_id);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, info.prog_id, info.user_type_name);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, info.prog_id + "\\CLSID", clsid);
    }
    if (SUCCEEDED(hr) && !info.version_independent_prog_id.empty()) {
        const std::string& vi = info.version_independent_prog_id;
        hr = SetDefault(Hive::ClassesRoot, class_key + "\\VersionIndependentProgID", vi);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, vi, info.user_type_name);
        if (SUCCEEDED(hr))
            hr = SetDefault(Hive::ClassesRoot, vi + "\\CLSID", clsid);
        if (SUCCEEDED(hr) && !info.prog_id.empty())
            hr = SetDefault(Hive::ClassesRoot, vi + "\\CurVer", info.prog_id);
    }
    return FAILED(hr) ? hr : transaction.Commit();
}

HRESULT ClassRegistry::UnregisterClass(const ClassInfo& info)
{
    Registry::Transaction transaction;
    HRESULT hr = transaction.Begin(Hive::ClassesRoot);
    RegKey root;
    if (SUCCEEDED(hr))
        hr = root.Open(Hive::ClassesRoot, "", RegAccess::All);
    if (SUCCEEDED(hr))
        hr = DeleteTreeIfPresent(root, ClassKeyPath(info.clsid));
    if (SUCCEEDED(hr) && !info.prog_id.empty())
        hr = DeleteTreeIfPresent(root, info.prog_id);
    if (SUCCEEDED(hr) && !info.version_independent_prog_id.empty())
        hr = DeleteTreeIfPresent(root, info.version_independent_prog_id);
    return FAILED(hr) ? hr : transaction.Commit();
}

HRESULT ClassRegistry::RegisterCategory(const Guid& catid, std::string_view description)
{
    RegKey key;
    HRESULT hr = key.Create(Hive::ClassesRoot, std::string(kCategoriesKey) + "\\" + catid.ToString());
    return FAILED(hr) ? hr : key.SetStringValue(kEnglishDescription, description);
}

HRESULT ClassRegistry::ClassesOfCategory(const Guid& catid, std::vector<Guid>& classes)
{
    classes.clear();
    RegKey clsid_key;
    HRESULT hr = clsid_key.Open(Hive::ClassesRoot, kClsidKey);
    if (IsNotFound(hr))
        return S_OK;
    std::vector<std::string> names;
    if (SUCCEEDED(hr))
        hr = clsid_key.EnumKeys(names);
    if (FAILED(hr))
        return hr;

    const std::string category = std::string(kImplementedCategories) + "\\" + catid.ToString();
    for (const auto& name : names) {
        auto clsid = Guid::Parse(name);
        RegKey implemented;
        if (clsid && SUCCEEDED(implemented.Open(clsid_key, name + "\\" + category)))
            classes.push_back(*clsid);
    }
    std::sort(classes.begin(), classes.end());
    return S_OK;
}

HRESULT ClassRegistry::UserTypeName(const Guid& clsid, std::string& name)
{
    RegKey key;
    HRESULT hr = key.Open(Hive::ClassesRoot, ClassKeyPath(clsid));
    if (IsNotFound(hr))
        return REGDB_E_CLASSNOTREG;
    return FAILED(hr) ? hr : key.QueryStringValue("", name);
}

HRESULT ClassRegistry::ClassFromProgId(std::string_view prog_id, Guid& clsid)
{
    RegKey key;
    std::string text;
    HRESULT hr = prog_id.empty() ? E_INVALIDARG : key.Open(Hive::ClassesRoot, std::string(prog_id) + "\\CLSID");
    if (SUCCEEDED(hr))
        hr = key.QueryStringValue("", text);
    if (FAILED(hr))
        return IsNotFound(hr) ? REGDB_E_CLASSNOTREG : hr;
    auto parsed = Guid::Parse(text);
    if (!parsed)
        return REGDB_E_CLASSNOTREG;
    clsid = *parsed;
    return S_OK;
}

std::string ClassRegistry::ModulePathOf(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    std::error_code error;
    auto path = std::filesystem::weakly_canonical(info.dli_fname, error);
    return error ? std::string(info.dli_fname) : path.string();
}

} // namespace velk
