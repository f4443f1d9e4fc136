// The caller-ID provider hosted by the real root object, as the service hosts it, on a
// simulated player, with its line a pseudo-terminal that plays a modem: what the player was
// sent, the log file and the event log are what a user would see.
#include "providers/callerid/velk_tapi_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/testdata/pty_modem.h"
#include "providers/common/testdata/hosting_fixture.h"
#include "service/provider_hosting.h"
#include "service/velk_data_service.h"
#include "service/velk_device.h"

namespace velk {
namespace {

struct Record {
    EventTypes type;
    std::uint32_t id;
    std::string text;
};

// The root object with the provider's event-log records kept for the test to read.
class RecordingDataService : public CVelkDataService {
public:
    HRESULT ReportVelkEvent(EventTypes type, EventCategories category, std::uint32_t id,
                            const Variant& fields) override
    {
        const auto* strings = fields.Get<VariantArray>();
        std::string source;
        std::string text;
        if (category == EventCategories::Object && strings && strings->elements.size() == 2 &&
            SUCCEEDED(strings->elements[0].ToString(source)) && source == "Velk Caller ID Server") {
            strings->elements[1].ToString(text);
            records.push_back({type, id, text});
        }
        return CVelkDataService::ReportVelkEvent(type, category, id, fields);
    }

    std::vector<Record> records;
};

std::string Marquee(std::string_view text)
{
    return "sketch -c marquee -start \"" + std::string(text) + "\"";
}

std::string TextLine(int y, std::string_view text)
{
    return "sketch -c text 0 " + std::to_string(y) + " \"" + std::string(text) + "\"";
}

class CallerIdServiceTest : public testing::HostingFixture<RecordingDataService> {
protected:
    CallerIdServiceTest() : HostingFixture(VELK_TAPI_MODULE, {"--players", "1"}) {}

    // The provider's settings and line, the player listing it in the font given (menu time-out
    // 1 s, content always; no device state of its own), the player's arrival, and the modem
    // switched into caller-ID mode.
    void ShowCalls(const TapiSettings& settings, std::uint16_t font = 2)
    {
        ASSERT_TRUE(modem_.ready());
        MemoryStream state;
        ASSERT_EQ(WriteTapiSettings(state, settings), S_OK);
        RegKey globals;
        ASSERT_EQ(globals.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer\\Globals\\" +
                                                         CLSID_VelkTAPIServer.ToString()),
                  S_OK);
        ASSERT_EQ(globals.SetBinaryValue("Parameters", state.bytes()), S_OK);
        ASSERT_EQ(globals.SetStringValue(CVelkTAPIServer::kLinesValue, modem_.device()), S_OK);

        const std::string player_key = std::string(ProviderHosting::kDataProvidersKey) + "\\player-0";
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, player_key), S_OK);
        ASSERT_EQ(key.SetStringValue(ProviderHosting::kClassesValue, CLSID_VelkTAPIServer.ToString()), S_OK);
        RegKey provider_key;
        ASSERT_EQ(provider_key.Create(Hive::LocalMachine, player_key + "\\" + CLSID_VelkTAPIServer.ToString()),
                  S_OK);
        const std::vector<std::uint8_t> host_header = {3, 0, static_cast<std::uint8_t>(font), 0, 0xE8, 0x03, 0, 0, 0, 0};
        ASSERT_EQ(provider_key.SetBinaryValue("Parameters", host_header), S_OK);

        auto player = std::make_shared<CVelkDevice>();
        ASSERT_EQ(player->Connect(sim_.address(), "uuid:player-0", "Player", service_->service_cookie()), S_OK);
        service_->AddPlayer(player);
        ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(0, "IrDemodSubscribe"); }));
        ASSERT_TRUE(modem_.AnswerSetUp());
    }

    void WriteBook(std::string_view text)
    {
        std::ofstream(folder() / AddressBook::kFileName, std::ios::binary) << text;
    }

    bool ReceivedSince(std::size_t since, std::string_view line)
    {
        const auto lines = sim_.Received();
        return std::find(lines.begin() + std::min(since, lines.size()), lines.end(), line) != lines.end();
    }

    // Plays the reports and waits until the player was sent every line.
    void RingAndSee(std::string_view reports, const std::vector<std::string>& lines)
    {
        const std::size_t before = sim_.Received().size();
        modem_.Send(reports);
        for (const auto& line : lines)
            EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before, line); })) << "not drawn: " << line;
    }

    std::string Transport()
    {
        const auto state = sim_.Control("state " + sim_.address());
        return state.empty() ? "" : state[0];
    }

    testing::PtyModem modem_;
};

TEST_F(CallerIdServiceTest, ANumberWithoutNameOrBookEntryScrollsAlone)
{
    ShowCalls({});
    RingAndSee("RING\r\nDATE = 1210\r\nTIME = 2130\r\nNMBR = 5551234\r\nRING\r\n", {Marquee("5551234")});
    // A private caller: neither number nor name.
    RingAndSee("MESG = 800304015028\r\n", {Marquee("Unknown Caller")});
}

TEST_F(CallerIdServiceTest, A32PixelPlayerInFont3ShowsNameAndNumberOnTwoLines)
{
    ShowCalls({}, 3);
    RingAndSee("RING\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n",
               {"sketch -c font 3", TextLine(0, "JOHN DOE"), TextLine(16, "5551234")});
}

// Numbers and names come from outside: a number shaped like a query finds no entry, and a name
// with a line break (the unformatted report can carry one) stays on its sketch line.
TEST_F(CallerIdServiceTest, TheBooksNameWinsAndHostileCallerTextDoesNoHarm)
{
    WriteBook(R"(<Addresses><Address Number="5551234" Name="Mum"/><Address Number="2" Name="Other"/></Addresses>)");
    ShowCalls({});
    RingAndSee("RING\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n", {Marquee("Mum (5551234)")});
    RingAndSee("NMBR = '] | //*[\r\nNAME = X\r\n", {Marquee("X ('] | //*[)")});
    // Number 1, name "EVIL\r\nsketch -c clear", in a multiple-data message.
    RingAndSee("MESG = 801A02013107154556494C0D0A736B65746368202D6320636C65617276\r\n",
               {Marquee("EVIL  sketch -c clear (1)")});
    for (const auto& line : sim_.Received()) {
        EXPECT_NE(line, "sketch -c clear") << "a caller's line break reached the player";
    }
}

TEST_F(CallerIdServiceTest, EveryCallAppendsOneLineToTheLogAndOneEventRecord)
{
    const auto log = folder() / "calls.txt";
    std::ofstream(log) << "an earlier call\n";
    ShowCalls({kLogToFile | kLogToEventLog, log.string()});
    RingAndSee("RING\r\nNMBR = 5551234\r\nNAME = JOHN\tDOE\r\n", {Marquee("JOHN DOE (5551234)")});
    RingAndSee("NMBR = 42\r\nNAME = FORGED\r\n", {Marquee("FORGED (42)")});

    std::ifstream file(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "an earlier call");
    EXPECT_TRUE(lines[1].ends_with("\tJOHN DOE\t5551234")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with("\tFORGED\t42")) << lines[2];

    ASSERT_EQ(service_->records.size(), 2u);
    EXPECT_EQ(service_->records[0].type, EventTypes::EventLogInformation);
    EXPECT_EQ(service_->records[0].id, CVelkTAPIServer::kEventCall);
    EXPECT_EQ(service_->records[0].text, "JOHN DOE 5551234");
    EXPECT_EQ(service_->records[1].text, "FORGED 42");
}

TEST_F(CallerIdServiceTest, ALogThatCannotBeOpenedIsReportedOnceAndCallsStillShow)
{
    const auto log = folder() / "no-such-folder" / "calls.txt";
    ShowCalls({kLogToFile, log.string()});
    RingAndSee("RING\r\nNMBR = 1\r\nNAME = FIRST\r\n", {Marquee("FIRST (1)")});
    RingAndSee("NMBR = 2\r\nNAME = SECOND\r\n", {Marquee("SECOND (2)")});
    ASSERT_EQ(service_->records.size(), 1u);
    EXPECT_EQ(service_->records[0].type, EventTypes::EventLogError);
    EXPECT_EQ(service_->records[0].id, CVelkTAPIServer::kEventOpenFailed);
    EXPECT_EQ(service_->records[0].text, "The Velk Data Service attempted to open " + log.string() +
                                             " and the operating system returned the following error: "
                                             "No such file or directory");
}

TEST_F(CallerIdServiceTest, ExitGivesACallBackAndIsThePlayersOwnBetweenCalls)
{
    ShowCalls({});
    const auto press_exit = [&] {
        const std::size_t before = sim_.Received().size();
        sim_.Control("key " + sim_.address() + " CK_EXIT");
        return before;
    };
    std::size_t before = press_exit();
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before, "IrDispatchCommand CK_EXIT"); }))
        << "EXIT did not reach the player's own menus";

    RingAndSee("RING\r\nNMBR = 1\r\nNAME = CALLER\r\n", {Marquee("CALLER (1)")});
    before = press_exit();
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before, "sketch -c marquee -stop"); }))
        << "EXIT did not give the display back";
    EXPECT_FALSE(ReceivedSince(before, "IrDispatchCommand CK_EXIT"));

    // The display given back, the keys are followed again: EXIT is the player's own once more.
    ASSERT_TRUE(PumpUntil([&] { return ReceivedSince(before, "IrDemodSubscribe"); }));
    before = press_exit();
    EXPECT_TRUE(PumpUntil([&] { return ReceivedSince(before, "IrDispatchCommand CK_EXIT"); }));
}

TEST_F(CallerIdServiceTest, ACallPausesTheMusicWhenSet)
{
    ShowCalls({kPauseOnCall, ""});
    sim_.Control("key " + sim_.address() + " CK_PLAY");
    ASSERT_TRUE(PumpUntil([&] { return Transport().find("\"transport\":\"Play\"") != std::string::npos; }));
    RingAndSee("RING\r\nNMBR = 1\r\nNAME = QUIET\r\n", {Marquee("QUIET (1)")});
    EXPECT_TRUE(PumpUntil([&] { return Transport().find("\"transport\":\"Pause\"") != std::string::npos; }))
        << Transport();
}

class CallerIdProvider : public RegistryFixture {};

TEST_F(CallerIdProvider, IsRunOnlyWhenACallArrives)
{
    auto provider = std::make_shared<CVelkTAPIServer>();
    provider->SetLines({});
    std::uint32_t poll = 1234;
    EXPECT_EQ(provider->Initialize(nullptr, poll), E_PENDING);
    EXPECT_EQ(poll, 0u);
    EXPECT_EQ(provider->Run(), S_OK);
    EXPECT_EQ(provider->Terminate(), S_OK);
}

} // namespace
} // namespace velk
