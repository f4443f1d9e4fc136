#include "automation/json_value.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "automation/testdata/test_objects.h"

namespace velk {
namespace {

using nlohmann::json;

// Objects as handles into a small table, the way a session keeps them.
class HandleTable {
public:
    ObjectToJson ToJson()
    {
        return [this](const UnknownPtr& object, json& out) {
            objects_.push_back(object);
            out = json{{"object", objects_.size()}};
            return S_OK;
        };
    }

    ObjectFromJson FromJson()
    {
        return [this](const json& value, UnknownPtr& object, std::string& problem) {
            if (value.contains("picture"))
                return PictureFromJson(value, object, problem);
            const auto& handle = value.at("object");
            if (!handle.is_number_unsigned() || handle.get<std::size_t>() == 0 ||
                handle.get<std::size_t>() > objects_.size()) {
                problem = "unknown handle";
                return E_HANDLE;
            }
            object = objects_[handle.get<std::size_t>() - 1];
            return S_OK;
        };
    }

private:
    std::vector<UnknownPtr> objects_;
};

Date DateOf(int year, int month, int day, int hour, int minute, int second, int millisecond = 0)
{
    return *Date::FromCalendar({year, month, day, hour, minute, second, millisecond});
}

TEST(JsonValue, EachTypeHasItsWireFormAndComesBack)
{
    struct Case {
        const char* name;
        Variant value;
        const char* text;
        Variant back; // what the other side reads: integers as the smallest of I4 and I8
    };
    const VariantArray square{{2, 2}, {1, 2, 3, 4}};
    const Case cases[] = {
        {"empty", Variant(), "null", Variant()},
        {"null", Variant(Variant::Null{}), "null", Variant()},
        {"true", Variant::FromBool(true), "true", Variant::FromBool(true)},
        {"false", Variant::FromBool(false), "false", Variant::FromBool(false)},
        {"I4", Variant(std::int32_t{-7}), "-7", Variant(std::int32_t{-7})},
        {"UI1", Variant(std::uint8_t{200}), "200", Variant(std::int32_t{200})},
        {"UI4", Variant(std::uint32_t{4000000000u}), "4000000000",
         Variant(std::int64_t{4000000000})},
        {"I8", Variant(std::int64_t{-1} << 40), "-1099511627776", Variant(std::int64_t{-1} << 40)},
        {"UI8", Variant(std::uint64_t{1} << 62), "4611686018427387904",
         Variant(std::int64_t{1} << 62)},
        {"R8", Variant(0.25), "0.25", Variant(0.25)},
        {"R4", Variant(1.5f), "1.5", Variant(1.5)},
        {"string", Variant("Grüße \"quoted\"\n"), R"("Grüße \"quoted\"\n")",
         Variant("Grüße \"quoted\"\n")},
        {"date", Variant(DateOf(2024, 5, 1, 18, 30, 5)), R"({"date":"2024-05-01 18:30:05"})",
         Variant(DateOf(2024, 5, 1, 18, 30, 5))},
        {"midnight", Variant(DateOf(1999, 12, 31, 0, 0, 0)), R"({"date":"1999-12-31 00:00:00"})",
         Variant(DateOf(1999, 12, 31, 0, 0, 0))},
        {"date with milliseconds", Variant(Date(45000.5 + 1.0 / 86400 / 4)),
         R"({"date":45000.50000289352})", Variant(Date(45000.5 + 1.0 / 86400 / 4))},
        {"array", Variant(std::vector<Variant>{1, "two", std::vector<Variant>{3.5}}),
         R"([1,"two",[3.5]])", Variant(std::vector<Variant>{1, "two", std::vector<Variant>{3.5}})},
        {"empty array", Variant(std::vector<Variant>{}), "[]", Variant(std::vector<Variant>{})},
        {"two dimensions", Variant(square), R"({"elements":[1,2,3,4],"extents":[2,2]})",
         Variant(square)},
        {"no object", Variant(UnknownPtr()), R"({"object":null})", Variant(UnknownPtr())},
        {"missing", Variant::Missing(), R"({"missing":true})", Variant::Missing()},
        {"error", Variant(Variant::Error{E_FAIL}), R"({"error":-2147467259})",
         Variant(Variant::Error{E_FAIL})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        json out;
        ASSERT_EQ(VariantToJson(c.value, nullptr, out), S_OK);
        EXPECT_EQ(JsonText(out), c.text);

        Variant back;
        std::string problem;
        ASSERT_EQ(JsonToVariant(json::parse(c.text), nullptr, back, problem), S_OK) << problem;
        EXPECT_EQ(back.vt(), c.back.vt());
        EXPECT_EQ(back, c.back);
    }
}

TEST(JsonValue, DatesAlsoComeAsOleNumbersOrWithoutTime)
{
    struct Case {
        const char* text;
        Date date;
    };
    const Case cases[] = {
        {R"({"date":"2024-05-01"})", DateOf(2024, 5, 1, 0, 0, 0)},
        {R"({"date":45000.25})", Date(45000.25)},
        {R"({"date":0})", Date(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Variant back;
        std::string problem;
        ASSERT_EQ(JsonToVariant(json::parse(c.text), nullptr, back, problem), S_OK) << problem;
        EXPECT_EQ(back, Variant(c.date));
    }
}

TEST(JsonValue, ObjectsTravelAsHandlesOfTheSideThatConverts)
{
    HandleTable handles;
    auto first = std::make_shared<testing::CTestChild>();
    auto second = std::make_shared<testing::CTestChild>();
    const Variant value(std::vector<Variant>{UnknownPtr(first), UnknownPtr(second)});

    json out;
    ASSERT_EQ(VariantToJson(value, handles.ToJson(), out), S_OK);
    EXPECT_EQ(JsonText(out), R"([{"object":1},{"object":2}])");

    Variant back;
    std::string problem;
    ASSERT_EQ(JsonToVariant(out, handles.FromJson(), back, problem), S_OK) << problem;
    EXPECT_EQ(back, value);

    // A server names the interface beside the handle.
    ASSERT_EQ(JsonToVariant(json::parse(R"({"object":2,"interface":"ITestChild"})"),
                            handles.FromJson(), back, problem),
              S_OK);
    EXPECT_EQ(back, Variant(UnknownPtr(second)));

    // Without a table of handles there are no objects.
    EXPECT_EQ(VariantToJson(value, nullptr, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(JsonToVariant(json::parse(R"({"object":1})"), nullptr, back, problem),
              DISP_E_TYPEMISMATCH);
}

TEST(JsonValue, PicturesTravelByValue)
{
    Bitmap bitmap(3, 2, 0xFF102030);
    bitmap.SetPixel(2, 1, 0xFFFFFFFF);
    CPicture picture(bitmap);

    json out;
    ASSERT_EQ(PictureToJson(picture, out), S_OK);
    UnknownPtr object;
    std::string problem;
    ASSERT_EQ(PictureFromJson(out, object, problem), S_OK) << problem;
    Bitmap back;
    ASSERT_EQ(std::dynamic_pointer_cast<IPicture>(object)->GetBitmap(back), S_OK);
    EXPECT_EQ(back, bitmap);

    // The headers of a 1-bpp BMP file that claims 4096 x 4096 pixels, without the pixels.
    const char* kClaimsTooMuch =
        "Qk0+AAAAAAAAAD4AAAAoAAAAABAAAAAQAAABAAEAAAAAAAAAAAAAAAAAAAAAAAIAAAAAAAAAAAAAAP///wA=";
    struct Case {
        const char* name;
        json value;
        HRESULT expected;
    };
    const Case cases[] = {
        {"not base64", json{{"picture", "***"}}, DISP_E_TYPEMISMATCH},
        {"misplaced padding", json{{"picture", "A=AA"}}, DISP_E_TYPEMISMATCH},
        {"not a BMP file", json{{"picture", "AAAA"}}, DISP_E_TYPEMISMATCH},
        {"not text", json{{"picture", 7}}, DISP_E_TYPEMISMATCH},
        {"too many bytes", json{{"picture", std::string(8 * 1024 * 1024, 'A')}}, DISP_E_OVERFLOW},
        {"too many pixels", json{{"picture", kClaimsTooMuch}}, DISP_E_OVERFLOW},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_EQ(PictureFromJson(c.value, object, reason), c.expected);
        EXPECT_FALSE(reason.empty());
    }
}

TEST(JsonValue, InputThatIsNoValueIsRefusedWithAReason)
{
    HandleTable handles;
    std::string deep = "1";
    for (std::size_t i = 0; i <= kMaxJsonDepth; ++i)
        deep = "[" + deep + "]";
    struct Case {
        std::string text;
        HRESULT expected;
    };
    const Case cases[] = {
        {R"({"date":"2024-02-30 00:00:00"})", DISP_E_OVERFLOW},
        {R"({"date":"2024-05-01T18:30:00"})", DISP_E_OVERFLOW},
        {R"({"date":"yesterday"})", DISP_E_OVERFLOW},
        {R"({"date":1e12})", DISP_E_OVERFLOW},
        {R"({"date":true})", DISP_E_OVERFLOW},
        {R"({"object":7})", E_HANDLE},
        {R"({"object":1,"extra":2})", DISP_E_TYPEMISMATCH},
        {R"({"missing":false})", DISP_E_TYPEMISMATCH},
        {R"({"error":4294967296})", DISP_E_TYPEMISMATCH},
        {R"({"colour":"red"})", DISP_E_TYPEMISMATCH},
        {R"({})", DISP_E_TYPEMISMATCH},
        {R"({"extents":[2,2],"elements":[1,2,3]})", DISP_E_TYPEMISMATCH},
        {R"({"extents":[4294967296,4294967296],"elements":[]})", DISP_E_TYPEMISMATCH},
        {R"({"extents":[-1],"elements":[]})", DISP_E_TYPEMISMATCH},
        {R"({"extents":[],"elements":[]})", DISP_E_TYPEMISMATCH},
        {"18446744073709551615", DISP_E_OVERFLOW},
        {deep, DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        Variant out;
        std::string problem;
        EXPECT_EQ(JsonToVariant(json::parse(c.text), handles.FromJson(), out, problem), c.expected);
        EXPECT_FALSE(problem.empty());
    }
}

TEST(JsonValue, ValuesJsonCannotCarryAreRefused)
{
    const Variant cases[] = {
        Variant(std::numeric_limits<std::uint64_t>::max()),   Variant(std::nan("")),
        Variant(std::numeric_limits<double>::infinity()),     Variant(Date(std::nan(""))),
        Variant(std::vector<Variant>{Variant(std::nan(""))}),
    };
    for (const auto& value : cases) {
        json out;
        EXPECT_EQ(VariantToJson(value, nullptr, out), DISP_E_OVERFLOW);
    }
}

TEST(JsonValue, TextReplacesBytesThatAreNotUtf8)
{
    EXPECT_EQ(JsonText(json("a\xff"
                            "b")),
              "\"a\xEF\xBF\xBD"
              "b\"");
}

} // namespace
} // namespace velk
