#include "platform/caller_id_parser.h"

#include <gtest/gtest.h>

#include "platform/testdata/print_call.h"

namespace velk {
namespace {

struct Case {
    const char* name;
    const char* reports; // what the modem sends, all at once
    std::vector<TelephonyCall> calls;
};

// An unformatted multiple-data message: date, number 5551234, name "JOHN DOE", checksum.
constexpr const char* kMultipleData =
    "MESG = 801D0108313231323039333002073535353132333407084A4F484E20444F45" "20";

const Case kCases[] = {
    {"formatted record between rings", "RING\r\n\r\nDATE = 1212\r\nTIME = 0930\r\nNMBR = 5551234\r\n"
                                       "NAME = JOHN DOE\r\n\r\nRING\r\n",
     {{"5551234", "JOHN DOE"}}},
    {"without blanks around the equals sign", "RING\r\nDATE=1212\r\nTIME=0930\r\nNAME=JANE\r\nNMBR=0123\r\n",
     {{"0123", "JANE"}}},
    {"dialled-number form", "RING\r\nDDN_NMBR= 5559876\r\nNAME = X\r\n", {{"5559876", "X"}}},
    {"no name: the next ring completes it", "RING\r\nNMBR = 5551234\r\nRING\r\nRING\r\n", {{"5551234", ""}}},
    {"private and out of area", "RING\r\nNMBR = P\r\nNAME = O\r\n", {{"", ""}}},
    {"rings without caller ID: one call", "RING\r\nRING\r\nRING\r\n", {{"", ""}}},
    {"one ring alone is no call", "RING\r\n", {}},
    {"unformatted multiple-data message", kMultipleData, {{"5551234", "JOHN DOE"}}},
    {"unformatted single-data message", "MESG = 040F313231323039333035353531323334F2\r\n", {{"5551234", ""}}},
    {"unformatted message with a bad checksum", "MESG = 040F313231323039333035353531323334F3\r\n", {}},
    {"unformatted message cut short", "MESG = 801D01083132313230393330020735\r\n", {}},
    {"unformatted message that is not hex", "MESG = 80zz\r\n", {}},
    {"garbage between the lines", "RING\r\n\x01\x02\xff\xfe\r\nNMBR\r\nNMBR =\r\n= =\r\nFOO = 1\r\nOK\r\nAT+VCID=1\r\n"
                                  "NMBR = 42\r\n\x1b[2J\r\nNAME = B\r\n",
     {{"42", "B"}}},
};

TEST(CallerIdParser, CutsTheModemsReportsIntoCalls)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        CallerIdParser parser;
        std::string reports = c.reports;
        if (!reports.ends_with("\n"))
            reports += "\r\n";
        EXPECT_EQ(parser.Feed(reports, 1000), c.calls);
    }
}

TEST(CallerIdParser, ReportsArriveInPiecesAsTheyComeFromTheLine)
{
    CallerIdParser parser;
    const std::string reports = "RING\r\nNMBR = 5551234\r\nNAME = JOHN DOE\r\n";
    std::vector<TelephonyCall> calls;
    for (const char c : reports)
        for (auto& call : parser.Feed(std::string_view(&c, 1), 1000))
            calls.push_back(call);
    EXPECT_EQ(calls, (std::vector<TelephonyCall>{{"5551234", "JOHN DOE"}}));
}

TEST(CallerIdParser, AnOverlongLineIsDroppedWholeAndTheNextOneCounts)
{
    CallerIdParser parser;
    const std::string overlong = "NAME = " + std::string(CallerIdParser::kMaxLineBytes, 'A') + "\r\n";
    EXPECT_TRUE(parser.Feed("RING\r\nNMBR = 1\r\n" + overlong, 1000).empty());
    EXPECT_EQ(parser.Feed("NAME = SHORT\r\n", 1000), (std::vector<TelephonyCall>{{"1", "SHORT"}}));
}

TEST(CallerIdParser, ANumberWithoutNameOrRingBecomesACallAfterTheQuiet)
{
    CallerIdParser parser;
    EXPECT_TRUE(parser.Feed("RING\r\nDATE = 1212\r\nNMBR = 5551234\r\n", 1000).empty());
    EXPECT_EQ(parser.FlushDueInMs(1000), CallerIdParser::kFieldsQuietMs);
    EXPECT_FALSE(parser.Flush(1000 + CallerIdParser::kFieldsQuietMs - 1));
    EXPECT_EQ(parser.Flush(1000 + CallerIdParser::kFieldsQuietMs), (TelephonyCall{"5551234", ""}));
    // The rings of the same call that follow report nothing more.
    EXPECT_TRUE(parser.Feed("RING\r\n", 5000).empty());
    EXPECT_FALSE(parser.FlushDueInMs(5000));
}

TEST(CallerIdParser, RingsFarApartAreCallsOfTheirOwn)
{
    CallerIdParser parser;
    EXPECT_TRUE(parser.Feed("RING\r\n", 0).empty());
    EXPECT_EQ(parser.Feed("RING\r\n", 6000).size(), 1u);
    EXPECT_TRUE(parser.Feed("RING\r\n", 12000).empty());
    EXPECT_TRUE(parser.Feed("RING\r\n", 12000 + CallerIdParser::kRingGapMs + 1).empty());
    EXPECT_EQ(parser.Feed("RING\r\n", 12000 + CallerIdParser::kRingGapMs + 6000).size(), 1u);
}

TEST(CallerIdParser, ResultCodesAreTakenOnce)
{
    CallerIdParser parser;
    parser.Feed("AT+VCID=1\r\r\nERROR\r\n", 0);
    EXPECT_EQ(parser.TakeResult(), ModemResult::Error);
    EXPECT_EQ(parser.TakeResult(), ModemResult::None);
    parser.Feed("OK\r\n", 0);
    EXPECT_EQ(parser.TakeResult(), ModemResult::Ok);
}

} // namespace
} // namespace velk
