#include "automation/automation_client.h"

#include <unistd.h>

#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

#include "automation/expression.h"
#include "automation/testdata/automation_fixture.h"
#include "platform/bitmap.h"
#include "platform/error_info.h"

namespace velk {
namespace {

using testing::CallByName;
using testing::CTestChild;
using testing::CTestObject;
using testing::CTestSource;
using testing::GetByName;
using testing::ObjectOf;
using testing::PutByName;

class AutomationClientTest : public testing::AutomationFixture {
protected:
    void SetUp() override
    {
        AutomationFixture::SetUp();
        StartServer();
        client_ = Connect();
        ASSERT_TRUE(client_);
        object_ = ObjectOf(GetByName(client_->Root(), "Object"));
        ASSERT_TRUE(object_);
    }

    void TearDown() override
    {
        object_.reset();
        client_.reset();
        AutomationFixture::TearDown();
    }

    std::shared_ptr<AutomationClient> client_;
    DispatchablePtr object_; // the root's CTestObject
};

Date DateOf(int year, int month, int day, int hour, int minute, int second, int millisecond = 0)
{
    return *Date::FromCalendar({year, month, day, hour, minute, second, millisecond});
}

TEST_F(AutomationClientTest, EveryValueTypeRoundTrips)
{
    struct Case {
        const char* property;
        Variant value;
        Variant read; // as the server's member gives it back
    };
    const VariantArray square{{2, 3}, {1, 2, 3, 4, 5, 6}};
    const Case cases[] = {
        {"Count", Variant(std::int32_t{-42}), Variant(std::int32_t{-42})},
        {"Size", Variant(std::uint32_t{7}), Variant(std::int32_t{7})},
        {"Ratio", Variant(0.125), Variant(0.125)},
        {"Enabled", Variant::FromBool(true), Variant::FromBool(true)},
        {"Name", Variant("Grüße, \"Welt\"\n"), Variant("Grüße, \"Welt\"\n")},
        {"When", Variant(DateOf(2026, 12, 7, 13, 5, 9)), Variant(DateOf(2026, 12, 7, 13, 5, 9))},
        {"When", Variant(DateOf(2026, 12, 7, 13, 5, 9, 250)),
         Variant(DateOf(2026, 12, 7, 13, 5, 9, 250))},
        {"Colour", Variant(std::int32_t{4}), Variant(std::int32_t{4})},
        {"Anything", Variant(), Variant()},
        {"Anything", Variant(std::int64_t{1} << 40), Variant(std::int64_t{1} << 40)},
        {"Anything", Variant(std::vector<Variant>{1, "two", std::vector<Variant>{3.5}}),
         Variant(std::vector<Variant>{1, "two", std::vector<Variant>{3.5}})},
        {"Anything", Variant(square), Variant(square)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.property);
        ASSERT_EQ(PutByName(object_, c.property, c.value), S_OK);
        const Variant read = GetByName(object_, c.property);
        EXPECT_EQ(read.vt(), c.read.vt());
        EXPECT_EQ(read, c.read);
    }

    // Indexed properties and optional arguments, left out or passed as missing.
    ASSERT_EQ(PutByName(object_, "Item", Variant()), DISP_E_BADPARAMCOUNT);
    Variant ignored;
    ASSERT_EQ(CallByName(object_, "Item", MemberKind::PropertyPut, {1, "uno"}, ignored), S_OK);
    EXPECT_EQ(GetByName(object_, "Item", {1}), Variant("uno"));
    EXPECT_EQ(GetByName(object_, "Items"), Variant(std::vector<Variant>{"zero", "uno", "two"}));
    Variant drawn;
    ASSERT_EQ(CallByName(object_, "Sketch", MemberKind::Method, {"Hi", 2}, drawn), S_OK);
    EXPECT_EQ(drawn, Variant("2,0:Hi"));
    ASSERT_EQ(CallByName(object_, "Sketch", MemberKind::Method,
                         {"Hi", Variant::Missing(), 3, Variant::FromBool(true)}, drawn),
              S_OK);
    EXPECT_EQ(drawn, Variant("!0,3:Hi"));
}

TEST_F(AutomationClientTest, ObjectHandlesChainAndGoBackAsArguments)
{
    const DispatchablePtr child = ObjectOf(GetByName(object_, "Child"));
    ASSERT_TRUE(child);
    EXPECT_EQ(object_->Table().interface_name(), "ITestObject");
    EXPECT_EQ(child->Table().interface_name(), "ITestChild");

    const DispatchablePtr grandchild = ObjectOf(GetByName(child, "Child"));
    ASSERT_EQ(PutByName(grandchild, "Label", "deep"), S_OK);
    EXPECT_EQ(GetByName(ObjectOf(GetByName(child, "Child")), "Label"), Variant("deep"));

    // The same object comes back under the same handle.
    ASSERT_EQ(PutByName(object_, "Thing", UnknownPtr(grandchild)), S_OK);
    const auto thing =
        std::dynamic_pointer_cast<CRemoteObject>(ObjectOf(GetByName(object_, "Thing")));
    ASSERT_TRUE(thing);
    EXPECT_EQ(thing->handle(), std::dynamic_pointer_cast<CRemoteObject>(grandchild)->handle());

    // A remote object as a typed argument reaches the server's object itself.
    const DispatchablePtr fresh = ObjectOf(GetByName(client_->Root(), "Fresh"));
    Variant ignored;
    ASSERT_EQ(CallByName(object_, "Adopt", MemberKind::Method, {UnknownPtr(fresh)}, ignored), S_OK);
    bool adopted = false;
    OnApartment([&](CTestSource& source) {
        std::shared_ptr<CTestObject> object;
        std::shared_ptr<CTestChild> now;
        source.get_Object(object);
        object->get_Child(now);
        adopted = now == source.issued().back().lock();
    });
    EXPECT_TRUE(adopted);

    // Objects of the client's own cannot go to the server; pictures go by value.
    EXPECT_EQ(PutByName(object_, "Thing", UnknownPtr(std::make_shared<CTestChild>())),
              DISP_E_TYPEMISMATCH);
    Variant width;
    ASSERT_EQ(CallByName(client_->Root(), "PictureWidth", MemberKind::Method,
                         {UnknownPtr(std::make_shared<CPicture>(Bitmap(5, 3)))}, width),
              S_OK);
    EXPECT_EQ(width, Variant(std::int32_t{5}));
}

TEST_F(AutomationClientTest, FailuresComeBackWithCodeAndErrorRecord)
{
    struct Case {
        const char* member;
        MemberKind kind;
        std::vector<Variant> args;
        HRESULT expected;
        const char* description; // empty: no error record
    };
    const Case cases[] = {
        {"Refuse", MemberKind::Method, {"not today"}, E_INVALIDARG, "not today"},
        {"Fail", MemberKind::Method, {std::int32_t{E_RCP_TIMEOUT}}, E_RCP_TIMEOUT, ""},
        {"Throw", MemberKind::Method, {}, E_OUTOFMEMORY, ""},
        {"Count", MemberKind::PropertyPut, {"many"}, DISP_E_TYPEMISMATCH, ""},
        {"Sketch", MemberKind::Method, {}, DISP_E_BADPARAMCOUNT, ""},
        {"Item", MemberKind::PropertyGet, {7}, E_INVALIDARG, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        const DispatchablePtr target =
            std::string_view(c.member) == "Refuse" ? client_->Root() : object_;
        SetErrorInfo({"stale", "", "", 0});
        Variant result;
        EXPECT_EQ(CallByName(target, c.member, c.kind, c.args, result), c.expected);
        const auto info = GetErrorInfo();
        if (*c.description) {
            ASSERT_TRUE(info);
            EXPECT_EQ(info->description, c.description);
            EXPECT_EQ(info->source, kErrorSource);
        } else {
            EXPECT_FALSE(info) << info->description;
        }
    }

    // A member the table has not: found out without asking the server.
    std::vector<Variant> no_args;
    Variant result;
    EXPECT_EQ(object_->Invoke(999, MemberKind::Method, no_args, result), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AutomationClientTest, TablesAreTheServersTables)
{
    const auto expect_same = [](const DispatchTable& remote, const DispatchTable& local) {
        SCOPED_TRACE(local.interface_name());
        EXPECT_EQ(remote.interface_name(), local.interface_name());
        ASSERT_EQ(remote.members().size(), local.members().size());
        for (std::size_t i = 0; i < local.members().size(); ++i) {
            const MemberDesc& a = remote.members()[i];
            const MemberDesc& b = local.members()[i];
            EXPECT_EQ(a.name, b.name);
            EXPECT_EQ(a.dispid, b.dispid);
            EXPECT_EQ(a.kind, b.kind);
            EXPECT_EQ(a.result, b.result);
            ASSERT_EQ(a.params.size(), b.params.size()) << a.name;
            for (std::size_t j = 0; j < a.params.size(); ++j) {
                EXPECT_EQ(a.params[j].name, b.params[j].name);
                EXPECT_EQ(a.params[j].type, b.params[j].type);
                EXPECT_EQ(a.params[j].optional, b.params[j].optional);
                EXPECT_EQ(a.params[j].default_value, b.params[j].default_value);
            }
        }
    };
    expect_same(client_->Root()->Table(), CTestSource::Dispatch().table());
    expect_same(object_->Table(), CTestObject::Dispatch().table());
}

TEST_F(AutomationClientTest, ExpressionsRunAgainstRemoteObjects)
{
    const std::filesystem::path picture =
        std::filesystem::temp_directory_path() /
        ("automation_client_test_" + std::to_string(getpid()) + ".bmp");
    ASSERT_EQ(Bitmap(4, 2).SaveBmpFile(picture), S_OK);

    using Status = ExpressionResult::Status;
    struct Case {
        std::string text;
        Status status;
        std::string printed;
    };
    const Case cases[] = {
        {"Object.Name = \"remote\"", Status::Nothing, ""},
        {"object.NAME", Status::Value, "remote"},
        {"Object.Sketch(\"Hi\", 2)", Status::Value, "2,0:Hi"},
        {"Object.Child.Child.Label", Status::Value, "child"},
        {"Object.Child", Status::Value, "[object ITestChild]"},
        {"Object.When = #2024-05-01 18:30:00#", Status::Nothing, ""},
        {"Object.When", Status::Value, "2024-05-01 18:30:00"},
        {"Object.Items", Status::Value, "zero one two"},
        {"Object.Nothing", Status::BadExpression, ""},
        {"Object.Fail(-2147467259)", Status::Failed, FormatFailure(E_FAIL)},
        {"PictureWidth(LoadPicture(\"" + picture.string() + "\"))", Status::Value, "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ExpressionResult result = EvaluateExpression(c.text, client_->Root());
        EXPECT_EQ(result.status, c.status) << FormatResult(result);
        if (c.status != Status::BadExpression) {
            EXPECT_EQ(FormatResult(result), c.printed);
        }
    }
    std::filesystem::remove(picture);
}

TEST_F(AutomationClientTest, AdvisedEventsArriveWithObjectArguments)
{
    struct Received {
        DispatchablePtr source;
        std::string member;
        std::vector<Variant> args;
    };
    std::mutex mutex;
    std::vector<Received> received;
    Event arrived{Event::Reset::Auto};
    ASSERT_EQ(client_->OpenEvents([&](const DispatchablePtr& source, const std::string& member,
                                      const std::vector<Variant>& args) {
        std::lock_guard lock(mutex);
        received.push_back({source, member, args});
        arrived.Set();
    }),
              S_OK);

    EXPECT_EQ(client_->Advise(client_->Root()), S_OK);
    EXPECT_EQ(client_->Advise(client_->Root()), S_FALSE);
    EXPECT_EQ(client_->Advise(object_), E_NOINTERFACE);
    EXPECT_EQ(client_->Advise(std::make_shared<CTestObject>()), E_INVALIDARG);

    Variant ignored;
    ASSERT_EQ(CallByName(client_->Root(), "Signal", MemberKind::Method, {"hello"}, ignored), S_OK);
    ASSERT_TRUE(arrived.Wait(kPatienceMs));
    std::lock_guard lock(mutex);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].source, client_->Root());
    EXPECT_EQ(received[0].member, "OnSignal");
    ASSERT_EQ(received[0].args.size(), 2u);
    EXPECT_EQ(received[0].args[0], Variant("hello"));
    const DispatchablePtr child = ObjectOf(received[0].args[1]);
    ASSERT_TRUE(child);
    EXPECT_EQ(child->Table().interface_name(), "ITestChild");
    EXPECT_EQ(GetByName(child, "Label"), Variant("child"));
}

TEST_F(AutomationClientTest, ClosingTheStreamReleasesTheSession)
{
    auto other = Connect();
    ASSERT_TRUE(other);
    EXPECT_EQ(opened_, 2);

    ASSERT_TRUE(ObjectOf(GetByName(client_->Root(), "Fresh")));
    ASSERT_EQ(client_->Advise(client_->Root()), S_OK);
    for (bool on : {true, true, false})
        ASSERT_EQ(PutByName(client_->Root(), "MonitorRemoteKey", Variant::FromBool(on)), S_OK);
    ASSERT_EQ(PutByName(client_->Root(), "MonitorDisplay", Variant::FromBool(true)), S_OK);
    ASSERT_EQ(PutByName(other->Root(), "MonitorRemoteKey", Variant::FromBool(true)), S_OK);
    // A session takes back only its own requests.
    ASSERT_EQ(PutByName(other->Root(), "MonitorDisplay", Variant::FromBool(false)), S_FALSE);

    std::weak_ptr<CTestChild> issued;
    OnApartment([&](CTestSource& source) {
        issued = source.issued().at(0);
        EXPECT_EQ(source.remote_key_requests(), 2);
        EXPECT_EQ(source.display_requests(), 1);
        EXPECT_TRUE(source.advised());
    });
    EXPECT_FALSE(issued.expired());

    object_.reset();
    client_.reset();
    ASSERT_TRUE(WaitClosed(1));
    OnApartment([&](CTestSource& source) {
        EXPECT_EQ(source.remote_key_requests(), 1);
        EXPECT_EQ(source.display_requests(), 0);
        EXPECT_FALSE(source.advised());
    });
    EXPECT_TRUE(issued.expired());

    // Stopping the server ends the other session too, also when it is stopped from the
    // apartment whose objects it serves; the other client's objects then fail.
    const DispatchablePtr root = other->Root();
    OnApartment([&](CTestSource&) { server_->Stop(); });
    ASSERT_TRUE(WaitClosed(2));
    EXPECT_EQ(opened_, 2);
    Variant ignored;
    const HRESULT hr = CallByName(root, "OnApartment", MemberKind::PropertyGet, {}, ignored);
    EXPECT_TRUE(hr == RPC_E_DISCONNECTED || hr == kAutomationServerUnavailable) << std::hex << hr;
    int requests = -1;
    OnApartment([&](CTestSource& source) { requests = source.remote_key_requests(); });
    EXPECT_EQ(requests, 0);
}

TEST(AutomationClient, NothingListeningIsUnavailable)
{
    // A port that was free a moment ago.
    ApartmentThread thread;
    std::uint16_t port = 0;
    {
        AutomationServer::Options options;
        options.port = 0;
        AutomationServer server(thread.apartment(), std::make_shared<CTestSource>(), options);
        ASSERT_EQ(server.Start(), S_OK);
        port = server.port();
    }
    std::shared_ptr<AutomationClient> client;
    EXPECT_EQ(AutomationClient::Connect("127.0.0.1", port, "", client),
              kAutomationServerUnavailable);
    EXPECT_FALSE(client);
    const auto info = GetErrorInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->description, "Cannot reach the Velk service at 127.0.0.1:" +
                                     std::to_string(port) +
                                     " (connection refused): is velk running?");
}

} // namespace
} // namespace velk
