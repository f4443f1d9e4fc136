#include "platform/shell_handlers.h"

#include <gtest/gtest.h>

#include "platform/class_registry.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/renderer_item.h"
#include "platform/testdata/sample_module.h"

namespace velk {
namespace {

using testing::DeviceWithUdn;
using testing::kOtherSampleClass;
using testing::RendererItem;
using testing::kSampleClass;
using testing::kSamplePagesClass;

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

TEST_F(ShellHandlersTest, PropertyPagesComeFromEveryHandlerThatTakesTheItems)
{
    ASSERT_EQ(ClassRegistry::RegisterModule(VELK_SAMPLE_MODULE), S_OK);
    RegisterHandler(kSampleClass.ToString()); // no page handler: passed over
    RegisterHandler(kSamplePagesClass.ToString());
    auto items = std::make_shared<CPidlDataObject>(std::vector<std::shared_ptr<IMediaRenderer>>{
        std::make_shared<RendererItem>(DeviceWithUdn("uuid:a")),
        std::make_shared<RendererItem>(DeviceWithUdn("uuid:b"))});

    struct Case {
        const char* name;
        std::shared_ptr<IDataObject> data_object;
        int refuse_from; // the sheet takes this many pages
        int handlers;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"every page taken", items, 9, 1, {"uuid:a", "uuid:b"}},
        {"the sheet full after one", items, 1, 1, {"uuid:a"}},
        {"the sheet takes none", items, 0, 0, {}},
        {"no items", std::make_shared<CPidlDataObject>(std::vector<std::shared_ptr<IMediaRenderer>>{}), 9, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HPROPSHEETPAGE> pages;
        const int handlers = AddShellPropertyPages("MediaRenderer\\Velk", c.data_object,
                                                   [&](const HPROPSHEETPAGE& page) {
                                                       if (static_cast<int>(pages.size()) >= c.refuse_from)
                                                           return false;
                                                       pages.push_back(page);
                                                       return true;
                                                   });
        EXPECT_EQ(handlers, c.handlers);
        std::vector<std::string> titles;
        for (const auto& page : pages) {
            titles.push_back(page->title);
            EXPECT_TRUE(page->lParam); // the page holds its handler
        }
        EXPECT_EQ(titles, c.titles);
    }
}

} // namespace
} // namespace velk
