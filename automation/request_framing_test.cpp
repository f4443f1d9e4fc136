#include "automation/request_framing.h"

#include <string>

#include <gtest/gtest.h>

namespace velk {
namespace {

using Outcome = RequestFrame::Outcome;

TEST(RequestFramingTest, FindsTheEndOfARequestOrRefusesIt)
{
    const RequestLimits limits{64, 4, 10};
    struct Case {
        const char* name;
        std::string received;
        Outcome outcome;
        std::size_t size_or_status;
    };
    const Case cases[] = {
        {"nothing yet", "", Outcome::Incomplete, 0},
        {"request line only", "GET / HTTP/1.1\r\n", Outcome::Incomplete, 0},
        {"whole GET", "GET / HTTP/1.1\r\n\r\n", Outcome::Complete, 18},
        {"GET with the next request behind it", "GET / HTTP/1.1\r\n\r\nGET", Outcome::Complete, 18},
        {"body on its way", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nab", Outcome::Incomplete,
         0},
        {"whole body", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET", Outcome::Complete,
         41},
        {"length in any case, spaced", "POST / HTTP/1.1\r\ncontent-LENGTH:  2 \r\n\r\nab",
         Outcome::Complete, 42},
        {"the same length twice", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\na",
         Outcome::Complete, 0},
        {"body at the limit", "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n", Outcome::Incomplete,
         0},
        {"body beyond the limit", "POST / HTTP/1.1\r\nContent-Length: 11\r\n\r\n", Outcome::Refused,
         413},
        {"length beyond any number", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n",
         Outcome::Refused, 400},
        {"negative length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", Outcome::Refused, 400},
        {"empty length", "POST / HTTP/1.1\r\nContent-Length:\r\n\r\n", Outcome::Refused, 400},
        {"lengths that differ", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
         Outcome::Refused, 400},
        {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", Outcome::Refused, 411},
        {"lines at the limit", "GET / HTTP/1.1\r\nA: 1\r\nB: 1\r\nC: 1\r\n\r\n", Outcome::Complete,
         0},
        {"one line too many", "GET / HTTP/1.1\r\nA: 1\r\nB: 1\r\nC: 1\r\nD: 1\r\n\r\n",
         Outcome::Refused, 431},
        {"too many lines before the end", "GET / HTTP/1.1\r\nA\r\nB\r\nC\r\nD\r\nE\r\n",
         Outcome::Refused, 431},
        {"section beyond its bytes, unfinished", "GET /" + std::string(64, 'a'), Outcome::Refused,
         431},
        {"section beyond its bytes, finished", "GET /" + std::string(50, 'a') + " HTTP/1.1\r\n\r\n",
         Outcome::Refused, 431},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RequestFrame frame = FrameRequest(c.received, limits);
        EXPECT_EQ(frame.outcome, c.outcome);
        if (c.outcome == Outcome::Refused) {
            EXPECT_EQ(frame.status, static_cast<int>(c.size_or_status));
        }
        if (c.outcome == Outcome::Complete && c.size_or_status != 0) {
            EXPECT_EQ(frame.size, c.size_or_status);
        }
    }
}

} // namespace
} // namespace velk
