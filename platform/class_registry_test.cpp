#include "platform/class_registry.h"

#include <gtest/gtest.h>

#include "platform/reg_key.h"
#include "platform/testdata/sample_module.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

using testing::ISample;
using testing::kOtherSampleClass;
using testing::kSampleCategory;
using testing::kSampleClass;

using ClassRegistryTest = RegistryFixture;

TEST_F(ClassRegistryTest, UnknownClassIsNotRegistered)
{
    UnknownPtr object;
    EXPECT_EQ(ClassRegistry::CreateInstance(kSampleClass, object), REGDB_E_CLASSNOTREG);
    std::string name;
    EXPECT_EQ(ClassRegistry::UserTypeName(kSampleClass, name), REGDB_E_CLASSNOTREG);
    Guid clsid;
    EXPECT_EQ(ClassRegistry::ClassFromProgId("Velk.Sample", clsid), REGDB_E_CLASSNOTREG);
}

TEST_F(ClassRegistryTest, RegisteredModuleCreatesItsClassesAndIsFoundByCategory)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_SAMPLE_MODULE), S_OK);
    ASSERT_EQ(ClassRegistry::RegisterCategory(kSampleCategory, "Velk sample objects"), S_OK);

    std::vector<Guid> classes;
    ASSERT_EQ(ClassRegistry::ClassesOfCategory(kSampleCategory, classes), S_OK);
    EXPECT_EQ(classes, std::vector<Guid>{kSampleClass});

    for (const auto& [clsid, name] : {std::pair{kSampleClass, "sample"}, std::pair{kOtherSampleClass, "other"}}) {
        SCOPED_TRACE(name);
        std::shared_ptr<ISample> sample;
        ASSERT_EQ(ClassRegistry::CreateInstance(clsid, sample), S_OK);
        EXPECT_EQ(sample->Name(), name);
    }

    std::string type_name;
    EXPECT_EQ(ClassRegistry::UserTypeName(kSampleClass, type_name), S_OK);
    EXPECT_EQ(type_name, "Velk Sample");
    Guid clsid;
    EXPECT_EQ(ClassRegistry::ClassFromProgId("velk.sample", clsid), S_OK);
    EXPECT_EQ(clsid, kSampleClass);
    EXPECT_EQ(ClassRegistry::ClassFromProgId("Velk.Sample.1", clsid), S_OK);

    // The keys as the rest of the system reads them.
    RegKey server;
    std::string value;
    ASSERT_EQ(server.Open(Hive::ClassesRoot, "CLSID\\" + kSampleClass.ToString() + "\\InprocServer32"), S_OK);
    EXPECT_EQ(server.QueryStringValue("ThreadingModel", value), S_OK);
    EXPECT_EQ(value, "Apartment");
    RegKey category;
    ASSERT_EQ(category.Open(Hive::ClassesRoot, "Component Categories\\" + kSampleCategory.ToString()), S_OK);
    EXPECT_EQ(category.QueryStringValue("409", value), S_OK);
    EXPECT_EQ(value, "Velk sample objects");
}

TEST_F(ClassRegistryTest, UnregisteringRemovesClassesButKeepsCategories)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_SAMPLE_MODULE), S_OK);
    ASSERT_EQ(ClassRegistry::RegisterCategory(kSampleCategory, "Velk sample objects"), S_OK);
    std::shared_ptr<ISample> kept;
    ASSERT_EQ(ClassRegistry::CreateInstance(kSampleClass, kept), S_OK);

    ASSERT_EQ(ClassRegistry::UnregisterModule(VELK_SAMPLE_MODULE), S_OK);
    UnknownPtr object;
    EXPECT_EQ(ClassRegistry::CreateInstance(kSampleClass, object), REGDB_E_CLASSNOTREG);
    Guid clsid;
    EXPECT_EQ(ClassRegistry::ClassFromProgId("Velk.Sample", clsid), REGDB_E_CLASSNOTREG);
    std::vector<Guid> classes;
    EXPECT_EQ(ClassRegistry::ClassesOfCategory(kSampleCategory, classes), S_OK);
    EXPECT_TRUE(classes.empty());
    RegKey category;
    EXPECT_EQ(category.Open(Hive::ClassesRoot, "Component Categories\\" + kSampleCategory.ToString()), S_OK);
    // An object made before stays usable: its module stays loaded.
    EXPECT_EQ(kept->Name(), "sample");
}

TEST_F(ClassRegistryTest, BrokenRegistrationsFailCleanly)
{
    struct Case {
        const char* module_path;
        HRESULT expected;
    };
    const std::string not_a_module = (folder() / "machine.db").string();
    ASSERT_EQ(ClassRegistry::RegisterCategory(kSampleCategory, "creates the hive file"), S_OK);
    const Case cases[] = {
        {"", REGDB_E_CLASSNOTREG},
        {"/nonexistent/velk_missing.so", CO_E_DLLNOTFOUND},
        {not_a_module.c_str(), CO_E_ERRORINDLL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module_path);
        RegKey server;
        ASSERT_EQ(server.Create(Hive::ClassesRoot, "CLSID\\" + kSampleClass.ToString() + "\\InprocServer32"), S_OK);
        ASSERT_EQ(server.SetStringValue("", c.module_path), S_OK);
        UnknownPtr object;
        EXPECT_EQ(ClassRegistry::CreateInstance(kSampleClass, object), c.expected);
        EXPECT_FALSE(object);
    }

    // A module that does not make the class asked for.
    RegKey server;
    ASSERT_EQ(server.Create(Hive::ClassesRoot, "CLSID\\" + kSampleCategory.ToString() + "\\InprocServer32"), S_OK);
    ASSERT_EQ(server.SetStringValue("", VELK_SAMPLE_MODULE), S_OK);
    UnknownPtr object;
    EXPECT_EQ(ClassRegistry::CreateInstance(kSampleCategory, object), CLASS_E_CLASSNOTAVAILABLE);
}

} // namespace
} // namespace velk
