#include "automation/expression.h"

#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "automation/picture.h"
#include "automation/testdata/test_objects.h"
#include "platform/bitmap.h"

namespace velk {
namespace {

using testing::CPlainObject;
using testing::CTestObject;

EnumRegistry& TestEnums()
{
    static EnumRegistry enums;
    static const HRESULT registered =
        enums.Register("SketchMode", {{"ModeText", 1}, {"ModeBox", 2}, {"ModeLine", 8}});
    EXPECT_EQ(registered, S_OK);
    return enums;
}

// The parse as one line: steps with their arguments typed, and the assigned value.
std::string Describe(const Expression& expression)
{
    auto value = [](const ExpressionValue& v) {
        if (v.picture_file)
            return "picture:" + *v.picture_file;
        return std::to_string(v.literal.vt()) + ":" + FormatValue(v.literal);
    };
    std::string text;
    for (const auto& step : expression.chain) {
        if (!text.empty())
            text += ".";
        text += step.name;
        if (step.args.empty())
            continue;
        text += "(";
        for (const auto& arg : step.args)
            text += (&arg == &step.args.front() ? "" : ",") + value(arg);
        text += ")";
    }
    if (expression.assigned)
        text += "=" + value(*expression.assigned);
    return text;
}

TEST(ExpressionParser, ReadsEachKindOfValue)
{
    struct Case {
        const char* text;
        const char* parsed; // types: 3 I4, 5 R8, 8 BSTR, 7 DATE, 11 BOOL, 20 I8
    };
    const Case cases[] = {
        {"Volume", "Volume"},
        {"  Volume  ", "Volume"},
        {"Volume()", "Volume"},
        {"Volume = 40", "Volume=3:40"},
        {"Volume=-7", "Volume=3:-7"},
        {"Volume = 2147483648", "Volume=20:2147483648"},
        {"Volume = -9223372036854775808", "Volume=20:-9223372036854775808"},
        {"Ratio = 0.25", "Ratio=5:0.25"},
        {"Ratio = -12.5", "Ratio=5:-12.5"},
        {R"(Name = "say \"hi\" \\ bye")", R"(Name=8:say "hi" \ bye)"},
        {R"(Name = "")", "Name=8:"},
        {"Enabled = TRUE", "Enabled=11:TRUE"},
        {"Enabled = false", "Enabled=11:FALSE"},
        {"When = #2024-02-29 23:59:58#", "When=7:2024-02-29 23:59:58"},
        {"When = #1899-12-30 06:00:00#", "When=7:1899-12-30 06:00:00"},
        {"Mode = ModeBox", "Mode=3:2"},
        {"Mode = modetext | ModeBox|ModeLine", "Mode=3:11"},
        {R"(Logo = LoadPicture("/tmp/a b.bmp"))", "Logo=picture:/tmp/a b.bmp"},
        {R"(Sketch("hi", 1, 2, TRUE))", "Sketch(8:hi,3:1,3:2,11:TRUE)"},
        {"Session.Status.Text", "Session.Status.Text"},
        {"Item( 1 ).Label = \"x\"", "Item(3:1).Label=8:x"},
        {"_a1.b_2", "_a1.b_2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ExpressionResult error;
        auto expression = ParseExpression(c.text, TestEnums(), error);
        ASSERT_TRUE(expression) << FormatResult(error);
        EXPECT_EQ(Describe(*expression), c.parsed);
    }
}

TEST(ExpressionParser, ReportsWhereABadExpressionGoesWrong)
{
    struct Case {
        const char* text;
        std::size_t column;
        HRESULT hr;
        const char* line;
    };
    const Case cases[] = {
        {"", 1, S_OK, "syntax error at column 1: expected a member name"},
        {"Volume =", 9, S_OK, "syntax error at column 9: expected a value"},
        {"Volume = 4 5", 12, S_OK, "syntax error at column 12: unexpected '5'"},
        {"Volume == 4", 9, S_OK, "syntax error at column 9: expected a value"},
        {"Volume.", 8, S_OK, "syntax error at column 8: expected a member name"},
        {"1Volume", 1, S_OK, "syntax error at column 1: expected a member name"},
        {"Sketch(1,", 10, S_OK, "syntax error at column 10: expected a value"},
        {"Sketch(1 2)", 10, S_OK, "syntax error at column 10: expected ',' or ')'"},
        {"Sketch(,)", 8, S_OK, "syntax error at column 8: expected a value"},
        {"Volume = 1.", 12, S_OK, "syntax error at column 12: expected digits after '.'"},
        {"Volume = .5", 10, S_OK, "syntax error at column 10: expected a value"},
        {"Volume = -", 11, S_OK, "syntax error at column 11: malformed number"},
        {"Volume = 12ab", 12, S_OK, "syntax error at column 12: malformed number"},
        {"Volume = 1.2.3", 13, S_OK, "syntax error at column 13: malformed number"},
        {"Volume = 99999999999999999999", 10, S_OK,
         "syntax error at column 10: number out of range"},
        {R"(Name = "open)", 8, S_OK, "syntax error at column 8: string without its closing quote"},
        {R"(Name = "a\n")", 11, S_OK,
         R"(syntax error at column 11: only \" and \\ may follow a backslash)"},
        {"When = #2024-02-30 00:00:00#", 8, S_OK, "syntax error at column 8: no such date or time"},
        {"When = #2024-2-3 00:00:00#", 8, S_OK,
         "syntax error at column 8: expected a date as #YYYY-MM-DD HH:MM:SS#"},
        {"When = #2024-02-03#", 8, S_OK,
         "syntax error at column 8: expected a date as #YYYY-MM-DD HH:MM:SS#"},
        {"Mode = ModeBox|", 16, S_OK, "syntax error at column 16: expected an enumeration name"},
        {"Mode = ModeBox|TRUE", 16, DISP_E_UNKNOWNNAME,
         "0x80020006 Unknown name. (TRUE at column 16)"},
        {"Mode = ModeBogus", 8, DISP_E_UNKNOWNNAME,
         "0x80020006 Unknown name. (ModeBogus at column 8)"},
        {"Logo = LoadPicture(name)", 20, S_OK,
         "syntax error at column 20: expected the picture's file name as a string"},
        {R"(Logo = LoadPicture("a.bmp")", 27, S_OK, "syntax error at column 27: expected ')'"},
        {"Volume\x01", 7, S_OK, "syntax error at column 7: unexpected byte 0x01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ExpressionResult error;
        EXPECT_FALSE(ParseExpression(c.text, TestEnums(), error));
        EXPECT_EQ(error.status, ExpressionResult::Status::BadExpression);
        EXPECT_EQ(error.ExitStatus(), 2);
        EXPECT_EQ(error.column, c.column);
        EXPECT_EQ(error.hr, c.hr);
        EXPECT_EQ(FormatResult(error), c.line);
    }
}

class ExpressionTest : public ::testing::Test {
protected:
    struct Step {
        std::string text;
        int exit_status;
        std::string line;
    };

    void Run(const std::vector<Step>& steps)
    {
        for (const auto& step : steps) {
            SCOPED_TRACE(step.text);
            const ExpressionResult result = EvaluateExpression(step.text, object_, TestEnums());
            EXPECT_EQ(result.ExitStatus(), step.exit_status);
            EXPECT_EQ(FormatResult(result), step.line);
        }
    }

    std::shared_ptr<CTestObject> object_ = std::make_shared<CTestObject>();
};

TEST_F(ExpressionTest, PutsAndGetsPropertiesOfEachType)
{
    Run({
        {"Count", 0, "0"},
        {"Count = -42", 0, ""},
        {"count", 0, "-42"},
        {"Size = 4000000000", 0, ""},
        {"Size", 0, "4000000000"},
        {"Ratio = 0.125", 0, ""},
        {"Ratio", 0, "0.125"},
        {"Enabled = TRUE", 0, ""},
        {"Enabled", 0, "TRUE"},
        {"Name = \"a \\\"b\\\"\"", 0, ""},
        {"Name", 0, "a \"b\""},
        {"When = #2024-02-29 13:05:07#", 0, ""},
        {"When", 0, "2024-02-29 13:05:07"},
        {"When = #1899-12-30 06:30:00#", 0, ""},
        {"When", 0, "1899-12-30 06:30:00"},
        {"Colour = ModeBox|ModeText", 0, ""},
        {"Colour", 0, "3"},
        {"Anything = 7", 0, ""},
        {"Anything", 0, "7"},
        {"Items", 0, "zero one two"},
        {"Item(2) = \"deux\"", 0, ""},
        {"Item(2)", 0, "deux"},
        {"Secret = \"s\"", 0, ""},
    });
    EXPECT_EQ(object_->secret(), "s");
}

TEST_F(ExpressionTest, CallsMethodsWithTheirOptionalArgumentsLeftOut)
{
    Run({
        {"Sketch(\"hi\")", 0, "0,0:hi"},
        {"Sketch(\"hi\", 3)", 0, "3,0:hi"},
        {"SKETCH(\"hi\", 3, 4, TRUE)", 0, "!3,4:hi"},
        {"Reset", 0, ""},
        {"Reset()", 0, ""},
    });
    EXPECT_EQ(object_->resets(), 2);
}

TEST_F(ExpressionTest, FollowsChainsOfObjects)
{
    Run({
        {"Child", 0, "[object ITestChild]"},
        {"Child.Label", 0, "child"},
        {"Child.Label = \"renamed\"", 0, ""},
        {"child.label", 0, "renamed"},
        {"Child.Child.Child.Label", 0, "child"},
        {"Plain", 0, "[object IUnknown]"},
        {"Thing", 0, "Nothing"},
    });
}

TEST_F(ExpressionTest, MisusedMembersAreBadExpressions)
{
    Run({
        {"Volume", 2, "0x80020006 Unknown name. (Volume at column 1)"},
        {"Child.Bogus = 1", 2, "0x80020006 Unknown name. (Bogus at column 7)"},
        {"Sketch()", 2, "0x8002000E Invalid number of parameters. (Sketch at column 1)"},
        {"Sketch(\"a\", 1, 2, TRUE, 5)", 2,
         "0x8002000E Invalid number of parameters. (Sketch at column 1)"},
        {"Item", 2, "0x8002000E Invalid number of parameters. (Item at column 1)"},
        {"Count(1)", 2, "0x8002000E Invalid number of parameters. (Count at column 1)"},
        {"Child = 1", 2, "0x80020003 Member not found. (Child at column 1)"},
        {"Secret", 2, "0x80020003 Member not found. (Secret at column 1)"},
        {"Reset = 1", 2, "0x80020003 Member not found. (Reset at column 1)"},
        {"Count.Label", 2, "0x80020005 Type mismatch. (Count is not an object at column 1)"},
        {"Plain.Label", 2,
         "0x80004002 No such interface supported. (Plain has no members at column 1)"},
    });
}

TEST_F(ExpressionTest, FailuresOfMembersArePassedThrough)
{
    Run({
        {"Fail(-1073479159)", 1, "0xC0040209 The Melodeck did not answer in time."},
        {"Child.Fail(-2147467259)", 1, "0x80004005 Unspecified error."},
        {"Item(9)", 1, "0x80070057 The parameter is incorrect."},
        {"Count = \"many\"", 1, "0x80020005 Type mismatch."},
        {"Count = 3000000000", 1, "0x8002000A Out of present range."},
        {"Thing.Label", 1, "0x80004003 Invalid pointer."},
        {"Throw", 1,
         "0x8007000E Not enough memory resources are available to complete this operation."},
        {"Fail(1)", 0, ""},
    });
}

TEST_F(ExpressionTest, LoadPictureHandsABitmapToTheMember)
{
    const auto file = std::filesystem::path(::testing::TempDir()) /
                      ("expression_picture_" + std::to_string(getpid()) + ".bmp");
    Bitmap bitmap(3, 2, 0xFF102030);
    bitmap.SetPixel(1, 1, 0xFFFFFFFF);
    ASSERT_EQ(bitmap.SaveBmpFile(file), S_OK);

    Run({
        {"Thing = LoadPicture(\"" + file.string() + "\")", 0, ""},
        {"Thing", 0, "[object IPicture]"},
        {"Thing.Width", 0, "3"},
        {"Thing.Height", 0, "2"},
        {"Thing = LoadPicture(\"" + file.string() + ".missing\")", 1,
         "0x80070002 The system cannot find the file specified."},
        {"Thing.Width", 0, "3"},
    });
    UnknownPtr thing;
    ASSERT_EQ(object_->get_Thing(thing), S_OK);
    auto picture = std::dynamic_pointer_cast<IPicture>(thing);
    ASSERT_NE(picture, nullptr);
    Bitmap loaded;
    EXPECT_EQ(picture->GetBitmap(loaded), S_OK);
    EXPECT_EQ(loaded, bitmap);
    std::filesystem::remove(file);
}

TEST(ExpressionFormat, PrintsValuesAsVelkctlShowsThem)
{
    struct Case {
        Variant value;
        const char* text;
    };
    const Case cases[] = {
        {Variant("as is \"x\""), "as is \"x\""},
        {Variant(-5), "-5"},
        {Variant(4000000000u), "4000000000"},
        {Variant(std::int64_t{-9000000000}), "-9000000000"},
        {Variant(std::int16_t{7}), "7"},
        {Variant(std::uint8_t{255}), "255"},
        {Variant(0.1), "0.1"},
        {Variant::FromBool(true), "TRUE"},
        {Variant::FromBool(false), "FALSE"},
        {Variant(*Date::FromCalendar({2024, 5, 1, 0, 0, 0})), "2024-05-01 00:00:00"},
        {Variant(*Date::FromCalendar({2024, 5, 1, 18, 30, 9})), "2024-05-01 18:30:09"},
        {Variant(Date(0.75)), "1899-12-30 18:00:00"},
        {Variant(std::vector<Variant>{1, "two", Variant::FromBool(false)}), "1 two FALSE"},
        {Variant(std::vector<Variant>{}), ""},
        {Variant(UnknownPtr(std::make_shared<CTestObject>())), "[object ITestObject]"},
        {Variant(UnknownPtr(std::make_shared<CPlainObject>())), "[object IUnknown]"},
        {Variant(UnknownPtr()), "Nothing"},
        {Variant(), ""},
        {Variant(Variant::Null{}), "Null"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatValue(c.value), c.text);
    }
}

TEST(ExpressionFormat, FailureLineHasTheCodeInUpperCaseHexAndItsMessage)
{
    struct Case {
        HRESULT hr;
        const char* line;
    };
    const Case cases[] = {
        {E_FAIL, "0x80004005 Unspecified error."},
        {DISP_E_UNKNOWNNAME, "0x80020006 Unknown name."},
        {DISP_E_BADPARAMCOUNT, "0x8002000E Invalid number of parameters."},
        {DISP_E_MEMBERNOTFOUND, "0x80020003 Member not found."},
        {E_RCP_PARAMETER_ERROR, "0xC0040205 The Melodeck rejected a value as invalid."},
        {MakeHResult(0x8ABCDEF0), "0x8ABCDEF0 Error 0x8abcdef0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(FormatFailure(c.hr), c.line);
    }
}

} // namespace
} // namespace velk
