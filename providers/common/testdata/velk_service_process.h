// Test support for the providers' end-to-end tests: `velk` from the build started in the
// foreground with the test's environment (its output dropped), stopped with SIGTERM when the
// test ends; a wait for a condition that other processes make true; and a provider's settings
// as the service reads them.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/data_server_layout.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "tools/sim/sim_test_support.h"

namespace velk::testing {

class VelkProcess : public BackgroundProgram {
public:
    VelkProcess() : BackgroundProgram({(ProgramFolder() / "velk").string()}) {}
};

// Checks the condition every 100 ms (another process makes it true: there is nothing to wait
// on); false after the safety time.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds safety = std::chrono::seconds(30))
{
    const auto until = std::chrono::steady_clock::now() + safety;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The provider's own settings (its object state) under its globals key.
inline void WriteObjectState(const std::string& clsid, const std::vector<std::uint8_t>& state)
{
    RegKey globals;
    ASSERT_EQ(globals.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer\\Globals\\" + clsid), S_OK);
    ASSERT_EQ(globals.SetBinaryValue("Parameters", state), S_OK);
}

// The UDN of the simulator's only player; empty when it has none or several.
inline std::string OnlyPlayerUdn(const sim::testing::SimProcess& sim)
{
    // address, name, model, display type, firmware, UDN, kind
    const auto players = sim.Control("players");
    if (players.size() != 1)
        return {};
    const std::size_t start = players[0].find("\tuuid:");
    if (start == std::string::npos)
        return {};
    return players[0].substr(start + 1, players[0].find('\t', start + 1) - start - 1);
}

// The simulator's only player lists the provider, with the device state given.
inline void ListOnOnlyPlayer(const sim::testing::SimProcess& sim, const std::string& clsid,
                             const std::vector<std::uint8_t>& device_state)
{
    const std::string udn = OnlyPlayerUdn(sim);
    ASSERT_FALSE(udn.empty()) << "the simulator has not exactly one player";
    const std::string player_key = PlayerKeyPath(PlayerKey(udn).value_or(""));
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, player_key), S_OK);
    ASSERT_EQ(key.SetStringValue("Classes", clsid), S_OK);
    RegKey provider_key;
    ASSERT_EQ(provider_key.Create(Hive::LocalMachine, player_key + "\\" + clsid), S_OK);
    ASSERT_EQ(provider_key.SetBinaryValue("Parameters", device_state), S_OK);
}

} // namespace velk::testing
