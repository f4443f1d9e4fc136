#include "platform/module.h"

namespace velk {

namespace {

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(const ModuleClass& entry) : entry_(entry) {}

    HRESULT CreateInstance(UnknownPtr& object) override
    {
        try {
            object = entry_.create();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
        return object ? S_OK : E_OUTOFMEMORY;
    }

private:
    const ModuleClass& entry_;
};

} // namespace

HRESULT ModuleGetClassObject(std::span<const ModuleClass> classes, const Guid* clsid,
                             std::shared_ptr<IClassFactory>* factory)
{
    if (!clsid || !factory)
        return E_POINTER;
    for (const auto& entry : classes) {
        if (entry.info.clsid == *clsid) {
            *factory = std::make_shared<ClassFactory>(entry);
            return S_OK;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ModuleRegisterServer(std::span<const ModuleClass> classes, const void* module_address,
                             std::span<const ModuleCategory> categories)
{
    const std::string path = ClassRegistry::ModulePathOf(module_address);
    if (path.empty())
        return E_UNEXPECTED;
    for (const auto& category : categories) {
        HRESULT hr = ClassRegistry::RegisterCategory(category.catid, category.description);
        if (FAILED(hr))
            return hr;
    }
    for (const auto& entry : classes) {
        HRESULT hr = ClassRegistry::RegisterClass(entry.info, path);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT ModuleUnregisterServer(std::span<const ModuleClass> classes)
{
    HRESULT result = S_OK;
    for (const auto& entry : classes) {
        HRESULT hr = ClassRegistry::UnregisterClass(entry.info);
        if (FAILED(hr))
            result = hr;
    }
    return result;
}

} // namespace velk
