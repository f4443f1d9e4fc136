#include "platform/shell_handlers.h"

#include <gtest/gtest.h>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/sample_module.h"

namespace velk {
namespace {

using testing::kOtherSampleClass;
using testing::kSampleClass;

using ShellHandlersTest = RegistryFixture;

void RegisterHandler(std::string_view name)
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::ClassesRoot, "MediaRenderer\\Velk\\shellex\\PropertySheetHandlers\\" + std::string(name)), S_OK);
}

TEST_F(ShellHandlersTest, AClassWithoutHandlersHasNone)
{
    std::vector<UnknownPtr> handlers;
    EXPECT_EQ(CreateShellHandlers("MediaRenderer\\Velk", kPropertySheetHandlers, handlers), S_FALSE);
    EXPECT_TRUE(handlers.empty());
}

TEST_F(ShellHandlersTest, OnlyClassIdsThatCanBeCreatedBecomeHandlers)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_SAMPLE_MODULE), S_OK);
    RegisterHandler(kSampleClass.ToString());
    RegisterHandler("Velk Melodeck pages");                      // no class id: ignored
    RegisterHandler("{00000000-1111-2222-3333-444444444444}");   // not registered: skipped
    RegisterHandler(kOtherSampleClass.ToString());

    std::vector<Guid> classes;
    ASSERT_EQ(ShellHandlerClasses("MediaRenderer\\Velk", kPropertySheetHandlers, classes), S_OK);
    EXPECT_EQ(classes.size(), 3u);

    std::vector<UnknownPtr> handlers;
    ASSERT_EQ(CreateShellHandlers("MediaRenderer\\Velk", kPropertySheetHandlers, handlers), S_OK);
    EXPECT_EQ(handlers.size(), 2u);
    for (const auto& handler : handlers)
        EXPECT_TRUE(handler);

    std::vector<UnknownPtr> menus;
    EXPECT_EQ(CreateShellHandlers("MediaRenderer\\Velk", kContextMenuHandlers, menus), S_FALSE);
}

} // namespace
} // namespace velk
