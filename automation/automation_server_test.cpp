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

    Answer Post(const std::string& path, const std::string& body, httplib::Headers headers = {})
    {
        httplib::Client http("127.0.0.1", server_->port());
        auto result = http.Post(path.c_str(), headers, body, "application/json");
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

TEST_F(AutomationServerTest, ATokenGuardsEveryRequest)
{
    AutomationServer::Options options;
    options.token = "s3cret";
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Call(fresh, c.headers).status, c.status);
        EXPECT_EQ(Get("/table?object=0", c.headers).status, c.status);
        EXPECT_EQ(Post("/advise", R"({"object":0})", c.headers).status,
                  c.status == 200 ? 400 : c.status);
    }
    std::size_t calls = 0;
    OnApartment([&](CTestSource& source) { calls = source.issued().size(); });
    EXPECT_EQ(calls, 1u);

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
