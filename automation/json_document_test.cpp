#include "automation/json_document.h"

#include <string>

#include <gtest/gtest.h>

namespace velk {
namespace {

std::string Nested(std::size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

std::string Values(std::size_t count)
{
    std::string text = "[1";
    for (std::size_t i = 1; i < count; ++i)
        text += ",1";
    return text + "]";
}

TEST(JsonDocumentTest, DocumentsWithinTheLimitsAreReadAndOthersRefusedWithTheReason)
{
    const JsonLimits limits{4, 10};
    struct Case {
        const char* name;
        std::string text;
        const char* problem; // nullptr: read
    };
    const Case cases[] = {
        {"an object", R"({"member":"Name","args":[1,"a",null,true,{"date":2.5}]})", nullptr},
        {"nested to the limit", Nested(4), nullptr},
        {"objects and arrays to the limit", R"({"a":[{"b":[]}]})", nullptr},
        {"values to the limit", Values(9), nullptr}, // the array counts as one
        {"nested beyond the limit", Nested(5), "nests deeper than 4"},
        {"nested far beyond the limit", Nested(100000), "nests deeper than 4"},
        {"objects beyond the limit", R"({"a":{"b":{"c":{"d":{}}}}})", "nests deeper than 4"},
        {"values beyond the limit", Values(10), "more than 10 values"},
        {"not JSON", "{\"a\":", "parse error"},
        {"text after the document", "{} {}", "parse error"},
        {"empty", "", "parse error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string problem;
        const auto document = ParseJsonDocument(c.text, limits, problem);
        if (!c.problem) {
            ASSERT_TRUE(document) << problem;
            EXPECT_EQ(*document, nlohmann::json::parse(c.text));
        } else {
            EXPECT_FALSE(document);
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
}

} // namespace
} // namespace velk
