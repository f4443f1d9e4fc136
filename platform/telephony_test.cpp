// The telephony lines against a pseudo-terminal that plays a modem, and a scripted line.
#include "platform/telephony.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/registry_test_fixture.h"
#include "platform/testdata/print_call.h"
#include "platform/testdata/pty_modem.h"

namespace velk {
namespace {

using testing::PtyModem;

// The calls a line reports, collected from the line's thread.
class CallLog {
public:
    CallHandler Handler()
    {
        return [this](const TelephonyCall& call) {
            std::lock_guard lock(mutex_);
            calls_.push_back(call);
            changed_.notify_all();
        };
    }
    // The calls once there are count of them; what there is after the safety time-out.
    std::vector<TelephonyCall> WaitFor(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(PtyModem::kSafetyMs),
                          [&] { return calls_.size() >= count; });
        return calls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TelephonyCall> calls_;
};

// A folder of the test's own for scripts and links.
class TelephonyTest : public RegistryFixture {
protected:
    CallLog log_;
};

TEST_F(TelephonyTest, AModemInCallerIdModeReportsEachCallOnceAndIgnoresGarbage)
{
    PtyModem modem;
    ASSERT_TRUE(modem.ready());
    auto line = OpenTelephonyLine(modem.device(), log_.Handler());
    ASSERT_TRUE(modem.AnswerSetUp());
    modem.Send("\r\nRING\r\n\r\nDATE = 1210\r\nTIME = 2130\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n\r\nRING\r\n");
    modem.Send("\x01\xff garbage \x7f\r\nNMBR =\r\n" + std::string(1000, 'x') + "\r\n");
    modem.Send("RING\r\nNMBR = 0441234\r\nNAME = SECOND\r\n");
    EXPECT_EQ(log_.WaitFor(2), (std::vector<TelephonyCall>{{"5551234", "JOHN DOE"}, {"0441234", "SECOND"}}));
}

TEST_F(TelephonyTest, AModemWithoutVcidIsSwitchedWithTheOtherCommand)
{
    PtyModem modem;
    ASSERT_TRUE(modem.ready());
    auto line = OpenTelephonyLine(modem.device(), log_.Handler());
    ASSERT_TRUE(modem.Expect("ATZ"));
    modem.Send("OK\r\n");
    ASSERT_TRUE(modem.Expect("AT+VCID=1"));
    modem.Send("ERROR\r\n");
    ASSERT_TRUE(modem.Expect("AT#CID=1"));
    modem.Send("OK\r\n");
    modem.Send("RING\r\nNMBR=5551234\r\nNAME=JOHN DOE\r\n");
    EXPECT_EQ(log_.WaitFor(1), (std::vector<TelephonyCall>{{"5551234", "JOHN DOE"}}));
}

// The device is a link, as the stable names of serial adapters are: when the modem comes
// back it is another terminal behind the same name.
TEST_F(TelephonyTest, AModemThatVanishesIsOpenedAgainWhenItComesBack)
{
    const auto device = folder() / "modem";
    auto first = std::make_unique<PtyModem>();
    ASSERT_TRUE(first->ready());
    std::filesystem::create_symlink(first->device(), device);
    auto line = OpenTelephonyLine(device.string(), log_.Handler());
    ASSERT_TRUE(first->AnswerSetUp());
    first->Send("RING\r\nNMBR = 1\r\nNAME = BEFORE\r\n");
    ASSERT_EQ(log_.WaitFor(1).size(), 1u);

    first.reset();
    PtyModem second;
    ASSERT_TRUE(second.ready());
    std::filesystem::remove(device);
    std::filesystem::create_symlink(second.device(), device);
    ASSERT_TRUE(second.AnswerSetUp()) << "the modem was not opened again";
    second.Send("RING\r\nNMBR = 2\r\nNAME = AFTER\r\n");
    EXPECT_EQ(log_.WaitFor(2), (std::vector<TelephonyCall>{{"1", "BEFORE"}, {"2", "AFTER"}}));
}

TEST_F(TelephonyTest, AScriptedLinePlaysItsReportsWithItsWaits)
{
    const auto script = folder() / "calls.txt";
    std::ofstream(script) << "WAIT 10\nRING\nNMBR = 5551234\nNAME = JOHN DOE\nWAIT 10\nRING\nNMBR = 42\n";
    auto line = OpenTelephonyLine(std::string(kScriptedLinePrefix) + script.string(), log_.Handler());
    // The last number has no name and no ring after it: it is a call after the quiet.
    EXPECT_EQ(log_.WaitFor(2), (std::vector<TelephonyCall>{{"5551234", "JOHN DOE"}, {"42", ""}}));
}

TEST_F(TelephonyTest, ALineThatIsDestroyedWhileWaitingStopsAtOnce)
{
    const auto script = folder() / "calls.txt";
    std::ofstream(script) << "WAIT 100000000\nRING\n";
    auto scripted = OpenTelephonyLine(std::string(kScriptedLinePrefix) + script.string(), log_.Handler());
    auto missing = OpenTelephonyLine((folder() / "no-such-modem").string(), log_.Handler());
    scripted.reset();
    missing.reset();
    EXPECT_TRUE(log_.WaitFor(0).empty());
}

} // namespace
} // namespace velk
