#include "platform/guid.h"

#include <gtest/gtest.h>

#include <set>

namespace velk {
namespace {

TEST(Guid, ParsesBracedAndBareFormsInAnyCase)
{
    const char* forms[] = {"{259D9A13-A94E-48E9-9971-6EBF8AAC6830}",
                           "259d9a13-a94e-48e9-9971-6ebf8aac6830",
                           "{259d9a13-A94E-48e9-9971-6EBF8aac6830}"};
    for (const char* form : forms) {
        SCOPED_TRACE(form);
        auto guid = Guid::Parse(form);
        ASSERT_TRUE(guid);
        EXPECT_EQ(guid->ToString(), "{259D9A13-A94E-48E9-9971-6EBF8AAC6830}");
    }
}

TEST(Guid, RejectsMalformedText)
{
    const char* bad[] = {"", "{}", "259D9A13-A94E-48E9-9971-6EBF8AAC683",
                         "{259D9A13-A94E-48E9-9971-6EBF8AAC6830",
                         "259D9A13-A94E-48E9-9971-6EBF8AAC6830}",
                         "259D9A13A94E-48E9-9971-6EBF8AAC68300",
                         "259D9A13-A94E-48E9-9971-6EBF8AAC683G",
                         "(259D9A13-A94E-48E9-9971-6EBF8AAC6830)"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(Guid::Parse(text));
    }
}

TEST(Guid, NewIsRandomVersion4AndRoundTrips)
{
    std::set<Guid> seen;
    for (int i = 0; i < 100; ++i) {
        Guid guid = Guid::New();
        EXPECT_EQ(guid.data3 >> 12, 4);
        EXPECT_EQ(guid.data4[0] >> 6, 2);
        EXPECT_EQ(Guid::Parse(guid.ToString()), guid);
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 100u);
}

} // namespace
} // namespace velk
