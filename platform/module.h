// What a plug-in module writes to be created by class id: a table of its classes, each with a
// factory function, and VELK_DEFINE_MODULE(table) to export the module's entry points.
#pragma once

#include <functional>
#include <span>

#include "platform/class_registry.h"

namespace velk {

struct ModuleClass {
    ClassInfo info;
    std::function<UnknownPtr()> create;
};

// A component category that the module defines (its classes, or other modules' classes,
// implement it).
struct ModuleCategory {
    Guid catid;
    std::string description;
};

inline std::span<const ModuleCategory> NoModuleCategories()
{
    return {};
}

HRESULT ModuleGetClassObject(std::span<const ModuleClass> classes, const Guid* clsid,
                             std::shared_ptr<IClassFactory>* factory);
// Registers the categories, then the classes.
HRESULT ModuleRegisterServer(std::span<const ModuleClass> classes, const void* module_address,
                             std::span<const ModuleCategory> categories = {});
// Removes the classes; categories stay, as other modules' classes may implement them.
HRESULT ModuleUnregisterServer(std::span<const ModuleClass> classes);

} // namespace velk

// Exports the three entry points for the module's class table (a function returning a span
// of ModuleClass, so the table is built on first use).
#define VELK_DEFINE_MODULE(classes_function)                                                     \
    VELK_DEFINE_MODULE_WITH_CATEGORIES(classes_function, velk::NoModuleCategories)

// The same for a module that also defines categories (a function returning a span of
// ModuleCategory). The module finds its own path from an object of internal linkage: an exported
// name could resolve to a library of the program that exports the same entry points.
#define VELK_DEFINE_MODULE_WITH_CATEGORIES(classes_function, categories_function)                \
    static const char velk_module_anchor = 0;                                                     \
    extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkGetClassObject(         \
        const velk::Guid* clsid, std::shared_ptr<velk::IClassFactory>* factory)                   \
    {                                                                                             \
        return velk::ModuleGetClassObject(classes_function(), clsid, factory);                    \
    }                                                                                             \
    extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkRegisterServer()        \
    {                                                                                             \
        return velk::ModuleRegisterServer(classes_function(),                                     \
                                          &velk_module_anchor,                                     \
                                          categories_function());                                 \
    }                                                                                             \
    extern "C" __attribute__((visibility("default"))) velk::HRESULT VelkUnregisterServer()      \
    {                                                                                             \
        return velk::ModuleUnregisterServer(classes_function());                                  \
    }
