// The mail provider from a key on the simulated remote to the redrawn view, as a user waits for
// it: velk-sim's key goes through the player's RCP session to the real root object, the mail
// view moves, the host runs the provider, and the player receives the new line. The account is
// on Dovecot (loopback) with a 500-message mailbox; the subjects of messages not seen before
// are fetched (TOP) on the way, so the next-message case includes a POP3 session. Runs in a
// scratch registry, without discovery; the time includes asking the simulator what it received.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/testdata/run_apartment_until.h"
#include "providers/mail/mail_servers_state.h"
#include "providers/mail/mail_text.h"
#include "providers/mail/testdata/dovecot_server.h"
#include "providers/mail/velk_mail_server.h"
#include "service/provider_hosting.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

constexpr int kMessages = 500;
constexpr int kLongMessageLines = 800;
constexpr std::uint32_t kSafetyMs = 10000;

// The display width of the simulator's first player ("Large VFD").
constexpr std::size_t kWrapWidth = 51;

std::string LongMessage()
{
    std::string text = "Subject: Message 1\r\nContent-Type: text/plain\r\n\r\n";
    for (int line = 1; line <= kLongMessageLines; ++line)
        text += "Line " + std::to_string(line) + " of the long message.\r\n";
    return text;
}

std::vector<std::string> Mailbox()
{
    std::vector<std::string> messages = {LongMessage()};
    for (int i = 2; i <= kMessages; ++i)
        messages.push_back("Subject: Message " + std::to_string(i) + "\r\n\r\nShort.\r\n");
    return messages;
}

std::string TextLine(int y, const std::string& text)
{
    return "sketch -c text 0 " + std::to_string(y) + " \"" + text + "\"";
}

class Environment {
public:
    Environment()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkbench-XXXXXX").string();
        if (!mkdtemp(pattern.data()) || !dovecot_.ready() || !sim_.ready())
            return;
        folder_ = pattern;
        setenv("VELK_REGISTRY_DIR", folder_.c_str(), 1);
        setenv("VELK_DISCOVERY", "off", 1);
        if (FAILED(ClassRegistry::RegisterModule(VELK_MAIL_MODULE)) || !WriteSettings() ||
            FAILED(service_->Initialize()))
            return;
        auto player = std::make_shared<CVelkDevice>();
        if (FAILED(player->Connect(sim_.address(), "uuid:player-0", "Player", service_->service_cookie())))
            return;
        service_->AddPlayer(player);
        ready_ = Shows(0, TextLine(0, "* Message 1")) && Shows(0, "IrDemodSubscribe");
    }
    ~Environment()
    {
        service_->Terminate();
        apartment_->Close();
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    bool ready() const { return ready_; }

    // Presses the key and waits until the player was sent the line, one it was not sent before
    // (the simulator keeps only its last lines: a count from before would not hold).
    bool PressAndSee(const char* key, const std::string& line)
    {
        sim_.Control("key " + sim_.address() + " " + key);
        return Shows(0, line);
    }

private:
    bool Shows(std::size_t since, const std::string& line)
    {
        return RunApartmentUntil(*apartment_, [&] {
            const auto lines = sim_.Received();
            return std::find(lines.begin() + std::min(since, lines.size()), lines.end(), line) != lines.end();
        }, kSafetyMs, 1);
    }

    bool WriteSettings()
    {
        auto account = std::make_shared<CPOP3Server>();
        account->host = "127.0.0.1";
        account->port = dovecot_.plain_port();
        account->user_name = testing::kMailUser;
        account->password = testing::kMailPassword;
        MemoryStream state;
        const std::string player_key = std::string(ProviderHosting::kDataProvidersKey) + "\\player-0";
        const std::vector<std::uint8_t> host_header = {3, 0, 2, 0, 0xE8, 0x03, 0, 0, 0, 0};
        RegKey globals;
        RegKey key;
        RegKey device_state;
        return SUCCEEDED(WriteMailServers(state, DataProtection(), {account})) &&
               SUCCEEDED(globals.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer\\Globals\\" +
                                                                CLSID_VelkMailServer.ToString())) &&
               SUCCEEDED(globals.SetBinaryValue("Parameters", state.bytes())) &&
               SUCCEEDED(key.Create(Hive::LocalMachine, player_key)) &&
               SUCCEEDED(key.SetStringValue(ProviderHosting::kClassesValue, CLSID_VelkMailServer.ToString())) &&
               SUCCEEDED(device_state.Create(Hive::LocalMachine, player_key + "\\" + CLSID_VelkMailServer.ToString())) &&
               SUCCEEDED(device_state.SetBinaryValue("Parameters", host_header));
    }

    std::shared_ptr<Apartment> apartment_ = Apartment::Create();
    testing::DovecotServer dovecot_{Mailbox()};
    sim::testing::SimProcess sim_{{"--players", "1", "--no-upnp"}};
    const std::shared_ptr<CVelkDataService> service_ = std::make_shared<CVelkDataService>();
    std::filesystem::path folder_;
    bool ready_ = false;
};

// In a message's text, one line further down: the view moves and is drawn from what it holds.
void ScrollTextLine(benchmark::State& state, Environment& environment)
{
    const auto lines = MessageLines(ParseMessage(LongMessage()), kWrapWidth);
    if (!environment.PressAndSee("CK_SELECT", TextLine(0, lines[0]))) {
        state.SkipWithError("the message did not open");
        return;
    }
    std::size_t top = 0;
    for (auto _ : state) {
        ++top;
        if (top + 1 >= lines.size() || !environment.PressAndSee("CK_SOUTH", TextLine(0, lines[top]))) {
            state.SkipWithError("the text did not scroll");
            return;
        }
    }
    environment.PressAndSee("CK_EXIT", TextLine(0, "* Message 1"));
    state.counters["lines"] = static_cast<double>(lines.size());
}

// In the list of 500, the next message: its subject, not seen before, comes from the server.
void NextMessage(benchmark::State& state, Environment& environment)
{
    int current = 1;
    for (auto _ : state) {
        ++current;
        if (!environment.PressAndSee("CK_SOUTH", TextLine(16, "* Message " + std::to_string(current)))) {
            state.SkipWithError("the list did not move");
            return;
        }
    }
}

} // namespace
} // namespace velk

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    velk::Environment environment;
    if (!environment.ready()) {
        std::fprintf(stderr, "Dovecot, velk-sim or the mail provider did not start\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_MailScrollTextLine", velk::ScrollTextLine, std::ref(environment))
        ->Iterations(300)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MailNextMessage", velk::NextMessage, std::ref(environment))
        ->Iterations(300)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
