#include "automation/enum_registry.h"

#include <gtest/gtest.h>

#include "automation/testdata/test_objects.h"

namespace velk {
namespace {

TEST(EnumRegistry, FindsMemberNamesWithoutRegardToCase)
{
    EnumRegistry registry;
    EXPECT_EQ(registry.Register("SketchMode", {{"SketchText", 0}, {"SketchBitmap", 2}}), S_OK);
    EXPECT_EQ(registry.Find("SketchBitmap"), 2);
    EXPECT_EQ(registry.Find("sketchtext"), 0);
    EXPECT_EQ(registry.Find("SketchLine"), std::nullopt);
    EXPECT_EQ(registry.Find(""), std::nullopt);
}

TEST(EnumRegistry, ClashKeepsTheFirstValueAndAddsTheRest)
{
    EnumRegistry registry;
    ASSERT_EQ(registry.Register("First", {{"Alpha", 1}, {"Beta", 2}}), S_OK);
    // The same header registered by a second module changes nothing.
    EXPECT_EQ(registry.Register("First", {{"Alpha", 1}, {"Beta", 2}}), S_OK);

    struct Case {
        const char* enumeration;
        const char* name;
        std::int32_t value;
    };
    const Case clashes[] = {{"First", "ALPHA", 5}, {"Second", "Beta", 2}};
    for (const auto& c : clashes) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(registry.Register(c.enumeration, {{c.name, c.value}, {"Gamma", 3}}),
                  E_INVALIDARG);
    }
    EXPECT_EQ(registry.Find("Alpha"), 1);
    EXPECT_EQ(registry.Find("Beta"), 2);
    EXPECT_EQ(registry.Find("Gamma"), 3);
}

TEST(EnumRegistry, HeadersRegisterWithTheGlobalRegistryWhenLoaded)
{
    EXPECT_EQ(testing::kTestColourNames.hr(), S_OK);
    EXPECT_EQ(EnumRegistry::Global().Find("ColourBlue"), 4);
}

} // namespace
} // namespace velk
