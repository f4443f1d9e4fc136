#include "automation/request_origin.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(RequestOriginTest, OnlyTheEndpointsOwnHostsAndPagesAreLetThrough)
{
    const EndpointNames endpoint{4445, {"player-host.lan"}};
    struct Case {
        const char* host;
        const char* origin;
        const char* site;
        int status; // 0: let through
    };
    const Case cases[] = {
        {"127.0.0.1:4445", "", "", 0},
        {"127.0.0.7:4445", "", "", 0},
        {"192.168.1.5:4445", "", "", 0},
        {"[::1]:4445", "", "", 0},
        {"localhost:4445", "", "", 0},
        {"LocalHost:4445", "", "", 0},
        {"PLAYER-HOST.LAN:4445", "", "", 0},
        {"127.0.0.1:4445", "http://127.0.0.1:4445", "same-origin", 0},
        {"localhost:4445", "http://localhost:4445", "", 0},
        {"127.0.0.1:4445", "", "none", 0},
        {"", "", "", 421},
        {"127.0.0.1", "", "", 421},
        {"127.0.0.1:80", "", "", 421},
        {"127.0.0.1:4445x", "", "", 421},
        {"127.0.0.1:", "", "", 421},
        {":4445", "", "", 421},
        {"::1:4445", "", "", 421},
        {"[::1", "", "", 421},
        {"attacker.example:4445", "", "", 421},
        {"localhost.attacker.example:4445", "", "", 421},
        {"127.1:4445", "", "", 421},
        {"127.0.0.1:4445", "http://evil.example", "", 403},
        {"127.0.0.1:4445", "null", "", 403},
        {"127.0.0.1:4445", "http://localhost:4445", "", 403},
        {"127.0.0.1:4445", "https://127.0.0.1:4445", "", 403},
        {"127.0.0.1:4445", "", "cross-site", 403},
        {"127.0.0.1:4445", "", "same-site", 403},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " | " + c.origin + " | " + c.site);
        const auto refusal = CheckRequestOrigin({c.host, c.origin, c.site}, endpoint);
        EXPECT_EQ(refusal ? refusal->status : 0, c.status);
        if (refusal) {
            EXPECT_FALSE(refusal->message.empty());
        }
    }
}

TEST(RequestOriginTest, AnEndpointOnPort80MayBeNamedWithoutItsPort)
{
    EXPECT_FALSE(CheckRequestOrigin({"localhost", "", ""}, EndpointNames{80, {}}));
    EXPECT_FALSE(CheckRequestOrigin({"[::1]", "", ""}, EndpointNames{80, {}}));
}

} // namespace
} // namespace velk
