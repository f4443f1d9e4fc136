#include "service/velk_module.h"

#include <gtest/gtest.h>

#include <vector>

namespace velk {
namespace {

using Action = CVelkModule::Action;

TEST(VelkModuleCommandLine, SwitchesTakeAnyPrefixAndCase)
{
    struct Case {
        std::vector<std::string_view> args;
        std::optional<Action> expected;
    };
    const Case kCases[] = {
        {{}, Action::Run},
        {{"-RegServer"}, Action::RegServer},
        {{"/regserver"}, Action::RegServer},
        {{"--REGSERVER"}, Action::RegServer},
        {{"-UnregServer"}, Action::UnregServer},
        {{"--unregserver"}, Action::UnregServer},
        {{"/UNREGSERVER"}, Action::UnregServer},
        {{"-Service"}, Action::Service},
        {{"/Service"}, Action::Service},
        {{"--service"}, Action::Service},
        {{"-SetToken"}, Action::SetToken},
        {{"--settoken"}, Action::SetToken},
        // Anything else is refused rather than guessed at.
        {{"RegServer"}, std::nullopt},
        {{"---RegServer"}, std::nullopt},
        {{"//Service"}, std::nullopt},
        {{"-"}, std::nullopt},
        {{"--"}, std::nullopt},
        {{""}, std::nullopt},
        {{"-RegServe"}, std::nullopt},
        {{"-RegServerX"}, std::nullopt},
        {{"-Reg Server"}, std::nullopt},
        {{"-help"}, std::nullopt},
        {{"-RegServer", "-Service"}, std::nullopt},
        {{"-Service", "extra"}, std::nullopt},
    };
    for (const auto& c : kCases) {
        std::string trace;
        for (auto arg : c.args)
            trace.append("[").append(arg).append("]");
        SCOPED_TRACE(trace);
        EXPECT_EQ(CVelkModule::ParseCommandLine(c.args), c.expected);
    }
}

} // namespace
} // namespace velk
