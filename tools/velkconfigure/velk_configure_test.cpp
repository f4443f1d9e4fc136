// velk-configure as a user runs it: the providers it finds, and what it says about a provider
// or player it cannot use. The sheet itself is tested with the pages and end to end.
#include <gtest/gtest.h>

#include "platform/class_registry.h"
#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

class VelkConfigureTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_TIME_MODULE), S_OK);
    }

    static ProgramResult Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), (ProgramFolder() / "velk-configure").string());
        return RunProgram(args);
    }
};

TEST_F(VelkConfigureTest, ListsTheProvidersAndNamesWhatItCannotUse)
{
    const auto list = Run({"--list"});
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_NE(list.output.find("{E05BD3C7-7B79-4C59-A6CC-49B21F612047}  Velk RSS Newsfeed Server\n"),
              std::string::npos) << list.output;

    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{}, 2, "usage: velk-configure"},
        {{"rss"}, 2, "usage: velk-configure"},
        {{"weather-of-mars", "uuid:player"}, 2, "no provider is named \"weather-of-mars\""},
        {{"velk", "uuid:player"}, 2, "several providers are named \"velk\""},
        {{"rss", "player-without-prefix"}, 2, "is no player's UDN"},
        {{"rss", "uuid:a\\b"}, 1, "cannot load the provider {E05BD3C7"},
        {{"{00000000-0000-0000-0000-000000000001}", "uuid:player"}, 1, "cannot load the provider"},
    };
    for (const auto& c : cases) {
        const auto result = Run(c.args);
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
    }
}

} // namespace
} // namespace velk
