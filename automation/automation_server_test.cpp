#include "automation/automation_server.h"

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "automation/json_value.h"
#include "automation/testdata/automation_fixture.h"
#include "platform/error_info.h"

namespace velk {
namespace {

using nlohmann::json;
using testing::CallByName;
using testing::CTestSource;
using testing::GetByName;
using testing::ObjectOf;
using testing::PutByName;

// Requests as any HTTP client sends them, without the automation client's care.
class AutomationServerTest : public testing::AutomationFixture {
protected:
    struct Answer {
        int status = 0;
        json body;
    };

    Answer Post(const std::string& path, const std::string& body, httplib::Headers headers = {},
                const char* type = "application/json")
    {
        httplib::Client http("127.0.0.1", server_->port());
        auto result = http.Post(path.c_str(), headers, body, type);
        return AnswerOf(result);
    }

    Answer Get(const std::string& path, httplib::Headers headers = {})
    {
        httplib::Client http("127.0.0.1", server_->port());
        auto result = http.Get(path.c_str(), headers);
        return AnswerOf(result);
    }

    static Answer AnswerOf(const httplib::Result& result)
    {
        EXPECT_TRUE(result) << httplib::to_string(result.error());
        if (!result)
            return {};
        return {result->status, json::parse(result->body, nullptr, false)};
    }

    Answer Call(const json& call, httplib::Headers headers = {})
    {
        return Post("/call", call.dump(), std::move(headers));
    }
};

TEST_F(AutomationServerTest, MalformedRequestsGet400WithoutDisturbingAParallelClient)
{
    StartServer();
    auto client = Connect();
    ASSERT_TRUE(client);
    const DispatchablePtr object = ObjectOf(GetByName(client->Root(), "Object"));
    ASSERT_TRUE(object);
    ASSERT_EQ(PutByName(object, "Name", "steady"), S_OK);

    std::string deep = "1";
    for (std::size_t i = 0; i <= kMaxJsonDepth; ++i)
        deep = "[" + deep + "]";
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"not JSON", "{\"member\": "},
        {"not an object", R"(["Name"])"},
        {"no member", R"({"kind":"get"})"},
        {"member not text", R"({"member":5,"kind":"get"})"},
        {"unknown kind", R"({"member":"Name","kind":"fetch"})"},
        {"args not an array", R"({"member":"Name","kind":"get","args":"x"})"},
        {"negative handle", R"({"object":-1,"member":"Name","kind":"get"})"},
        {"handle not a number", R"({"object":"1","member":"Name","kind":"get"})"},
        {"unknown handle", R"({"object":999999999,"member":"Name","kind":"get"})"},
        {"unknown handle as argument",
         R"({"object":0,"member":"PictureWidth","kind":"method","args":[{"object":424242}]})"},
        {"impossible date",
         R"({"member":"Signal","kind":"method","args":[{"date":"2024-13-01 00:00:00"}]})"},
        {"unknown kind of value", R"({"member":"Signal","kind":"method","args":[{"what":1}]})"},
        {"values too deep", R"({"member":"Signal","kind":"method","args":[)" + deep + "]}"},
        {"picture that is not one",
         R"({"member":"PictureWidth","kind":"method","args":[{"picture":"AAAA"}]})"},
    };

    // The other client keeps calling while the malformed requests come in.
    std::atomic<int> failures{0};
    std::thread steady([&] {
        for (int i = 0; i < 100; ++i) {
            Variant name;
            if (FAILED(CallByName(object, "Name", MemberKind::PropertyGet, {}, name)) ||
                name != Variant("steady"))
                ++failures;
        }
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer answer = Post("/call", c.body);
        EXPECT_EQ(answer.status, 400);
        ASSERT_TRUE(answer.body.is_object());
        EXPECT_TRUE(answer.body["message"].is_string()) << answer.body;
    }
    const Answer unknown_session =
        Call(json{{"member", "Name"}, {"kind", "get"}}, {{"X-Velk-Session", "0123"}});
    EXPECT_EQ(unknown_session.status, 400);
    EXPECT_EQ(Get("/table?object=abc").status, 400);
    EXPECT_EQ(Post("/advise", R"({"object":0})").status, 400); // no session to send events to
    steady.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(GetByName(object, "Name"), Variant("steady"));
    EXPECT_EQ(closed_, 0);
}

// A web page the user opens may send requests to the endpoint (directly, or through a name of
// its own rebound to 127.0.0.1): none of them may act, whatever the token.
TEST_F(AutomationServerTest, RequestsFromOtherWebPagesAndHostsAreRefusedBeforeAnyWork)
{
    AutomationServer::Options options;
    options.host_names = {"velk.home.arpa"};
    StartServer(options);
    const std::string port = std::to_string(server_->port());
    const std::string own = "127.0.0.1:" + port;
    // Each call that reaches the root hands out a child.
    const std::string fresh = R"({"member":"Fresh","kind":"get"})";

    struct Case {
        const char* name;
        const char* path;
        httplib::Headers headers;
        const char* type;
        int status;
    };
    const Case refused[] = {
        {"simple cross-site POST", "/call", {{"Origin", "http://evil.example"}}, "text/plain", 403},
        {"cross-site POST as JSON", "/call", {{"Origin", "http://evil.example"}}, "application/json",
         403},
        {"opaque origin", "/call", {{"Origin", "null"}}, "application/json", 403},
        {"another port of this host", "/call", {{"Origin", "http://127.0.0.1:8080"}},
         "application/json", 403},
        {"fetch metadata of another site", "/call", {{"Sec-Fetch-Site", "cross-site"}},
         "application/json", 403},
        {"fetch metadata of a sibling site", "/call", {{"Sec-Fetch-Site", "same-site"}},
         "application/json", 403},
        {"body not declared JSON", "/call", {}, "text/plain", 415},
        {"form body", "/call", {}, "application/x-www-form-urlencoded", 415},
        {"rebound name", "/call", {{"Host", "attacker.example:" + port}}, "application/json", 421},
        {"own name on another port", "/call", {{"Host", "localhost:1"}}, "application/json", 421},
        {"no port", "/call", {{"Host", "127.0.0.1"}}, "application/json", 421},
        {"advice as text", "/advise", {}, "text/plain", 415},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        const Answer answer = Post(c.path, fresh, c.headers, c.type);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_TRUE(answer.body.is_object() && answer.body["message"].is_string()) << answer.body;
    }
    OnApartment([](CTestSource& source) { EXPECT_TRUE(source.issued().empty()); });

    // The event stream names the session, the key to everything else.
    EXPECT_EQ(Get("/events", {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(Get("/events", {{"Host", "attacker.example:" + port}}).status, 421);
    EXPECT_EQ(Get("/table", {{"Sec-Fetch-Site", "cross-site"}}).status, 403);
    EXPECT_EQ(opened_, 0);

    // Programs, the endpoint's own pages and the names the settings list go on.
    const json get_name = json{{"member", "OnApartment"}, {"kind", "get"}};
    const httplib::Headers accepted[] = {
        {},
        {{"Origin", "http://" + own}, {"Sec-Fetch-Site", "same-origin"}},
        {{"Sec-Fetch-Site", "none"}},
        {{"Host", "localhost:" + port}},
        {{"Host", "LOCALHOST:" + port}, {"Origin", "http://LOCALHOST:" + port}},
        {{"Host", "velk.home.arpa:" + port}},
        {{"Host", "[::1]:" + port}},
    };
    for (const auto& headers : accepted) {
        SCOPED_TRACE(headers.empty() ? "no browser headers" : headers.begin()->second);
        const Answer answer = Call(get_name, headers);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body["result"], true) << answer.body;
    }
    EXPECT_EQ(Post("/call", fresh, {}, "application/json; charset=utf-8").status, 200);
    OnApartment([](CTestSource& source) { EXPECT_EQ(source.issued().size(), 1u); });
}

// One request must not take the service down or its memory: nesting that would overflow the
// stack, and more values than any call has.
TEST_F(AutomationServerTest, BodiesBeyondTheReadersBoundsAreRefusedAndTheServerGoesOn)
{
    StartServer();
    struct Case {
        const char* name;
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"nested 100000 deep", std::string(100000, '[') + std::string(100000, ']'), 400},
        {"70000 empty arrays", "[" + [] {
             std::string many = "[]";
             for (int i = 1; i < 70000; ++i)
                 many += ",[]";
             return many;
         }() + "]", 400},
        {"beyond the body limit", "[\"" + std::string(2 * 1024 * 1024, 'a') + "\"]", 413},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer answer =
            Post("/call", R"({"member":"Signal","kind":"method","args":)" + c.args + "}");
        EXPECT_EQ(answer.status, c.status);
        if (c.status == 400) {
            EXPECT_NE(answer.body["message"].get<std::string>().find("the document"),
                      std::string::npos)
                << answer.body;
        }
    }
    EXPECT_EQ(Call(json{{"member", "OnApartment"}, {"kind", "get"}}).body["result"], true);
}

TEST_F(AutomationServerTest, ATokenGuardsEveryRequest)
{
    AutomationServer::Options options;
    options.token = "s3cret";
    options.pages.emplace("/display/", "<!doctype html><title>page</title>");
    StartServer(options);

    // Each call that reaches the root hands out a child.
    const json fresh{{"object", 0}, {"member", "Fresh"}, {"kind", "get"}};
    struct Case {
        const char* name;
        httplib::Headers headers;
        int status;
    };
    const Case cases[] = {
        {"no token", {}, 401},
        {"wrong token", {{"Authorization", "Bearer s3cre7"}}, 401},
        {"token of another scheme", {{"Authorization", "Basic s3cret"}}, 401},
        {"longer token", {{"Authorization", "Bearer s3cret2"}}, 401},
        {"right token", {{"Authorization", "Bearer s3cret"}}, 200},
        // Browsers send it as the password of basic authentication ("user:s3cret").
        {"token as password", {{"Authorization", "Basic dXNlcjpzM2NyZXQ="}}, 200},
        {"token as user name", {{"Authorization", "Basic czNjcmV0Og=="}}, 401},
        {"wrong password", {{"Authorization", "Basic dXNlcjpzM2NyZTc="}}, 401},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Call(fresh, c.headers).status, c.status);
        EXPECT_EQ(Get("/display/uuid:1234", c.headers).status, c.status);
        EXPECT_EQ(Get("/table?object=0", c.headers).status, c.status);
        EXPECT_EQ(Post("/advise", R"({"object":0})", c.headers).status,
                  c.status == 200 ? 400 : c.status);
    }
    std::size_t calls = 0;
    OnApartment([&](CTestSource& source) { calls = source.issued().size(); });
    EXPECT_EQ(calls, 2u);

    std::shared_ptr<AutomationClient> client;
    EXPECT_EQ(AutomationClient::Connect("127.0.0.1", server_->port(), "wrong", client),
              E_ACCESSDENIED);
    EXPECT_FALSE(client);
    EXPECT_EQ(AutomationClient::Connect("127.0.0.1", server_->port(), "s3cret", client), S_OK);
    ASSERT_TRUE(client);
    EXPECT_EQ(GetByName(client->Root(), "OnApartment"), Variant::FromBool(true));
}

TEST_F(AutomationServerTest, StartRefusesOpenAddressesWithoutTokenAndPortsInUse)
{
    StartServer();
    struct Case {
        const char* address;
        const char* token;
        std::uint16_t port;
        HRESULT expected;
    };
    const Case cases[] = {
        {"0.0.0.0", "", 0, E_INVALIDARG},
        {"::", "", 0, E_INVALIDARG},
        {"192.0.2.1", "", 0, E_INVALIDARG},
        {"localhost", "token", 0, E_INVALIDARG},
        {"127.0.0.1", "", server_->port(), HRESULT_FROM_WIN32(10048)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        AutomationServer::Options options;
        options.address = c.address;
        options.token = c.token;
        options.port = c.port;
        AutomationServer other(apartment_, source_, options);
        ClearErrorInfo();
        EXPECT_EQ(other.Start(), c.expected);
        if (c.expected == E_INVALIDARG) {
            EXPECT_TRUE(GetErrorInfo().has_value());
        }
    }
}

TEST_F(AutomationServerTest, MembersThatWriteFilesByPathAreRefused)
{
    StartServer();
    const Answer answer =
        Call(json{{"member", "savetofile"}, {"kind", "method"}, {"args", {"/etc/passwd"}}});
    EXPECT_EQ(answer.status, 403);
    EXPECT_TRUE(answer.body["message"].is_string());

    auto client = Connect();
    ASSERT_TRUE(client);
    Variant ignored;
    EXPECT_EQ(CallByName(client->Root(), "SaveToFile", MemberKind::Method, {"/tmp/x"}, ignored),
              E_ACCESSDENIED);
    int saves = -1;
    OnApartment([&](CTestSource& source) { saves = source.saves(); });
    EXPECT_EQ(saves, 0);
}

TEST_F(AutomationServerTest, PagesAreServedUnderTheirPrefixToThisEndpointsOwnRequestsOnly)
{
    AutomationServer::Options options;
    options.pages.emplace("/display/", "<!doctype html><title>mirror</title>");
    StartServer(options);
    httplib::Client http("127.0.0.1", server_->port());
    const auto page = http.Get("/display/uuid:5A1B-00");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<!doctype html><title>mirror</title>");
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'"),
              std::string::npos);
    const auto framed = http.Get("/display/uuid:5A1B-00", {{"Sec-Fetch-Site", "cross-site"}});
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->status, 403);
    const auto other = http.Get("/displays");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);
}

TEST_F(AutomationServerTest, ACallWithoutSessionRunsInOneThatEndsWithIt)
{
    StartServer();
    const Answer fresh = Call(json{{"member", "Fresh"}, {"kind", "get"}});
    ASSERT_EQ(fresh.status, 200);
    EXPECT_EQ(fresh.body["result"]["interface"], "ITestChild");
    const json handle = fresh.body["result"]["object"];
    ASSERT_TRUE(handle.is_number_unsigned());

    // The handle went with the call's session, and so did the object.
    EXPECT_EQ(Call(json{{"object", handle}, {"member", "Label"}, {"kind", "get"}}).status, 400);
    bool released = false;
    OnApartment([&](CTestSource& source) { released = source.issued().at(0).expired(); });
    EXPECT_TRUE(released);

    // So did its request.
    const Answer monitor =
        Call(json{{"member", "MonitorRemoteKey"}, {"kind", "put"}, {"args", {true}}});
    EXPECT_EQ(monitor.status, 200);
    EXPECT_EQ(monitor.body, json({{"result", nullptr}}));
    int requests = -1;
    OnApartment([&](CTestSource& source) { requests = source.remote_key_requests(); });
    EXPECT_EQ(requests, 0);
}

TEST_F(AutomationServerTest, CallsRunOnTheApartmentAndAnswerInJson)
{
    StartServer();
    struct Case {
        json call;
        json expected;
    };
    const Case cases[] = {
        {json{{"member", "onapartment"}, {"kind", "get"}}, json{{"result", true}}},
        {json{{"member", "MonitorDisplay"}, {"kind", "put"}, {"args", {false}}},
         json{{"result", nullptr}, {"hresult", S_FALSE}}},
        {json{{"member", "Signal"}, {"kind", "get"}},
         json{{"hresult", DISP_E_MEMBERNOTFOUND},
              {"message", HResultMessage(DISP_E_MEMBERNOTFOUND)}}},
        {json{{"member", "Nothing"}, {"kind", "get"}},
         json{{"hresult", DISP_E_UNKNOWNNAME}, {"message", HResultMessage(DISP_E_UNKNOWNNAME)}}},
        {json{{"member", "Refuse"}, {"kind", "method"}, {"args", {"not now"}}},
         json{{"hresult", E_INVALIDARG},
              {"message", HResultMessage(E_INVALIDARG)},
              {"description", "not now"},
              {"source", kErrorSource},
              {"helpFile", kErrorHelpFile},
              {"helpContext", static_cast<DWORD>(E_INVALIDARG)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call.dump());
        const Answer answer = Call(c.call);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, c.expected);
    }

    const Answer table = Get("/table?object=0");
    ASSERT_EQ(table.status, 200);
    EXPECT_EQ(table.body["interface"], "ITestSource");
    const json signal{{"name", "Signal"},
                      {"dispid", 10},
                      {"kind", "method"},
                      {"params", {{{"name", "Text"}, {"type", VT_BSTR}, {"optional", false}}}},
                      {"result", VT_EMPTY}};
    EXPECT_NE(std::find(table.body["members"].begin(), table.body["members"].end(), signal),
              table.body["members"].end())
        << table.body;
}

} // namespace
} // namespace velk
