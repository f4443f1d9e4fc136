#include "automation/http_server.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/testdata/raw_connection.h"

namespace velk {
namespace {

using testing::RawConnection;
using testing::StatusOf;

// Generous: only a broken server keeps a test waiting this long.
constexpr int kPatienceMs = 30000;

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", "text/plain");
        });
        server_.Post("/size", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::to_string(req.body.size()), "text/plain");
        });
        ASSERT_EQ(server_.Listen("127.0.0.1", 0), S_OK);
    }

    // What a well-behaved client gets for GET /hello on a connection of its own.
    std::string Hello()
    {
        httplib::Client client("127.0.0.1", server_.port());
        auto result = client.Get("/hello");
        return result ? result->body : "error: " + httplib::to_string(result.error());
    }

    std::string Request(const std::string& bytes)
    {
        RawConnection raw(server_.port());
        EXPECT_TRUE(raw.Send(bytes));
        return raw.ReadUntilClosed(kPatienceMs);
    }

    HttpServer server_;
};

TEST_F(HttpServerTest, RequestsOnOneConnectionAreAnsweredInOrder)
{
    RawConnection raw(server_.port());
    // Two requests in one packet, then one whose body comes in two parts.
    ASSERT_TRUE(raw.Send("GET /hello HTTP/1.1\r\nHost: a\r\n\r\n"
                         "POST /size HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nabc"));
    ASSERT_TRUE(raw.Send("POST /size HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nab"));
    ASSERT_TRUE(raw.Readable(kPatienceMs));
    ASSERT_TRUE(raw.Send("cde"
                         "GET /hello HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n"));
    const std::string answers = raw.ReadUntilClosed(kPatienceMs);

    std::vector<std::string> bodies;
    for (std::size_t at = 0; (at = answers.find("\r\n\r\n", at)) != std::string::npos;) {
        at += 4;
        const std::size_t next = answers.find("HTTP/1.1 ", at);
        bodies.push_back(answers.substr(at, next == std::string::npos ? next : next - at));
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"hello", "3", "5", "hello"})) << answers;
}

TEST_F(HttpServerTest, RequestsBeyondTheLimitsAreRefusedWithTheirStatus)
{
    const RequestLimits limits;
    std::string many_lines = "GET /hello HTTP/1.1\r\nHost: a\r\n";
    for (std::size_t i = 0; i <= limits.header_lines; ++i)
        many_lines += "X-Line-" + std::to_string(i) + ": 1\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        int status;
    };
    const Case cases[] = {
        {"too many header lines", many_lines + "\r\n", 431},
        {"one endless header line",
         "GET /hello HTTP/1.1\r\nX-Long: " + std::string(limits.header_bytes, 'a'), 431},
        {"a body beyond the limit",
         "POST /size HTTP/1.1\r\nHost: a\r\nContent-Length: " +
             std::to_string(limits.body_bytes + 1) + "\r\n\r\n",
         413},
        {"a chunked body", "POST /size HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n",
         411},
        {"a length that is no number", "POST /size HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", 400},
        {"two different lengths",
         "POST /size HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string answer = Request(c.bytes);
        EXPECT_EQ(StatusOf(answer), c.status) << answer.substr(0, 200);
    }
    EXPECT_EQ(Hello(), "hello");
}

// A client that sends header lines for ever is answered once the section is too large; the
// server does not keep reading what it sends.
TEST_F(HttpServerTest, EndlessHeadersAreCutOff)
{
    RawConnection raw(server_.port());
    ASSERT_TRUE(raw.Send("GET /hello HTTP/1.1\r\n"));
    std::size_t sent = 0;
    const std::string line = "X-Again: " + std::string(100, 'a') + "\r\n";
    while (sent < 64 * 1024 * 1024 && !raw.Readable(0) && raw.Send(line))
        sent += line.size();
    EXPECT_EQ(StatusOf(raw.ReadUntilClosed(kPatienceMs)), 431);
    EXPECT_LT(sent, std::size_t{16 * 1024 * 1024});
}

// Clients that trickle or stall cost the server a descriptor each, never a thread: another
// client is answered while they are all still there, and a trickling request ends at its
// deadline however often its bytes arrive.
TEST_F(HttpServerTest, SlowClientsNeitherStarveOthersNorStayForever)
{
    std::vector<std::unique_ptr<RawConnection>> stalled;
    for (int i = 0; i < 40; ++i) {
        stalled.push_back(std::make_unique<RawConnection>(server_.port()));
        ASSERT_TRUE(stalled.back()->Send("POST /size HTTP/1.1\r\nHost: a\r\n"));
    }
    EXPECT_EQ(Hello(), "hello");
    std::size_t still_open = 0;
    for (const auto& connection : stalled)
        still_open += connection->Readable(0) ? 0 : 1;
    EXPECT_EQ(still_open, stalled.size()) << "the answer waited for stalled requests to end";

    RawConnection trickling(server_.port());
    ASSERT_TRUE(trickling.Send("GET /hello HTTP/1.1\r\nX-Slow: "));
    int bytes = 0;
    while (bytes < 1000 && !trickling.Readable(300) && trickling.Send("a"))
        ++bytes;
    EXPECT_EQ(StatusOf(trickling.ReadUntilClosed(kPatienceMs)), 408);
    EXPECT_LT(bytes, 1000);
}

// More open connections than the server keeps: the oldest idle ones make room for a newcomer.
TEST_F(HttpServerTest, IdleConnectionsMakeRoomForANewClient)
{
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (std::size_t i = 0; i < HttpServer::kMaxConnections + 20; ++i)
        idle.push_back(std::make_unique<RawConnection>(server_.port()));
    EXPECT_EQ(Hello(), "hello");
}

} // namespace
} // namespace velk
