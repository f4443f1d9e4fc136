#include "platform/variant.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(Variant, ReportsAutomationTypes)
{
    struct Case {
        Variant value;
        VARTYPE vt;
    };
    const Case cases[] = {
        {Variant(), VT_EMPTY},
        {Variant(Variant::Null{}), VT_NULL},
        {Variant(std::int16_t{1}), VT_I2},
        {Variant(1), VT_I4},
        {Variant(1u), VT_UI4},
        {Variant(std::int64_t{1}), VT_I8},
        {Variant(1.5), VT_R8},
        {Variant::FromBool(true), VT_BOOL},
        {Variant("text"), VT_BSTR},
        {Variant(Date(1.0)), VT_DATE},
        {Variant(std::vector<Variant>{1, 2}), static_cast<VARTYPE>(VT_ARRAY | VT_VARIANT)},
        {Variant::Missing(), VT_ERROR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vt);
        EXPECT_EQ(c.value.vt(), c.vt);
    }
}

TEST(Variant, ConvertsToString)
{
    struct Case {
        Variant value;
        const char* text;
    };
    const Case cases[] = {
        {Variant(), ""},
        {Variant(-42), "-42"},
        {Variant(std::uint8_t{200}), "200"},
        {Variant(std::int8_t{-5}), "-5"},
        {Variant(0.1), "0.1"},
        {Variant(2.0), "2"},
        {Variant::FromBool(true), "True"},
        {Variant::FromBool(false), "False"},
        {Variant("as is"), "as is"},
        {Variant(Date(36526.5)), "2000-01-01 12:00:00"},
        {Variant(Date(36526.0)), "2000-01-01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text;
        ASSERT_EQ(c.value.ToString(text), S_OK);
        EXPECT_EQ(text, c.text);
    }
    std::string text;
    EXPECT_EQ(Variant(Variant::Null{}).ToString(text), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Variant(std::vector<Variant>{1}).ToString(text), DISP_E_TYPEMISMATCH);
}

TEST(Variant, ConvertsToIntegersWithRoundingAndRangeChecks)
{
    struct Case {
        Variant value;
        HRESULT hr;
        std::int32_t expected;
    };
    const Case cases[] = {
        {Variant(), S_OK, 0},
        {Variant::FromBool(true), S_OK, -1},
        {Variant(2.5), S_OK, 2},
        {Variant(3.5), S_OK, 4},
        {Variant(-2.5), S_OK, -2},
        {Variant(" 17 "), S_OK, 17},
        {Variant("-8"), S_OK, -8},
        {Variant("4.5"), S_OK, 4},
        {Variant("seven"), DISP_E_TYPEMISMATCH, 0},
        {Variant(""), DISP_E_TYPEMISMATCH, 0},
        {Variant(std::int64_t{1} << 40), DISP_E_OVERFLOW, 0},
        {Variant(4294967295u), DISP_E_OVERFLOW, 0},
        {Variant("99999999999999999999999"), DISP_E_OVERFLOW, 0},
        {Variant(1e300), DISP_E_OVERFLOW, 0},
        {Variant(Variant::Null{}), DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& c : cases) {
        std::string text;
        c.value.ToString(text);
        SCOPED_TRACE(text);
        std::int32_t value = 12345;
        EXPECT_EQ(c.value.ToInt32(value), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(value, c.expected);
        }
    }
}

TEST(Variant, IndexesRefuseNegativeValues)
{
    std::uint32_t index = 0;
    EXPECT_EQ(Variant(3).ToUInt32(index), S_OK);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(Variant(-1).ToUInt32(index), DISP_E_OVERFLOW);
    EXPECT_EQ(Variant(std::uint64_t{1} << 33).ToUInt32(index), DISP_E_OVERFLOW);
    EXPECT_EQ(Variant(4294967295u).ToUInt32(index), S_OK);
    EXPECT_EQ(index, 4294967295u);
}

TEST(Variant, ConvertsToBoolAndDate)
{
    bool flag = false;
    EXPECT_EQ(Variant("True").ToBool(flag), S_OK);
    EXPECT_TRUE(flag);
    EXPECT_EQ(Variant("false").ToBool(flag), S_OK);
    EXPECT_FALSE(flag);
    EXPECT_EQ(Variant(2).ToBool(flag), S_OK);
    EXPECT_TRUE(flag);
    EXPECT_EQ(Variant("maybe").ToBool(flag), DISP_E_TYPEMISMATCH);

    Date date;
    EXPECT_EQ(Variant(36526.25).ToDate(date), S_OK);
    EXPECT_EQ(date, Date(36526.25));
    EXPECT_EQ(Variant(1e12).ToDate(date), DISP_E_OVERFLOW);
}

TEST(Variant, ComparesArraysByShapeAndElements)
{
    Variant a(std::vector<Variant>{1, "two"});
    EXPECT_EQ(a, Variant(std::vector<Variant>{1, "two"}));
    EXPECT_FALSE(a == Variant(std::vector<Variant>{1, "three"}));
    VariantArray grid{{1, 2}, {1, "two"}};
    EXPECT_FALSE(a == Variant(grid));
    EXPECT_EQ(Variant(grid).Get<VariantArray>()->dimensions(), 2u);
}

} // namespace
} // namespace velk
