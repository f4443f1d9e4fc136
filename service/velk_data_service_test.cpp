#include "service/velk_data_service.h"

#include <gtest/gtest.h>

#include "platform/apartment.h"
#include "platform/event_log.h"
#include "platform/git.h"

#include <regex>

namespace velk {
namespace {

// The root object outside a private network namespace: discovery stays off.
class VelkDataServiceTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("VELK_DISCOVERY", "off", 1); }
};

TEST_F(VelkDataServiceTest, InitializeEntersItInTheInterfaceTableAndTerminateTakesItOut)
{
    auto apartment = Apartment::Create();
    ASSERT_TRUE(apartment);
    auto service = std::make_shared<CVelkDataService>();
    ASSERT_EQ(service->Initialize(), S_OK);
    const DWORD cookie = service->service_cookie();
    ASSERT_NE(cookie, 0u);

    // Other apartments reach the root object through its cookie.
    ApartmentThread other;
    HRESULT reached = E_FAIL;
    other.apartment()->Invoke([&] {
        reached = Git::Global().Invoke<IVelkDataService>(
            cookie, [](IVelkDataService& root) { return root.Reload(); });
        return S_OK;
    });
    EXPECT_EQ(reached, S_OK);

    EXPECT_EQ(service->Terminate(), S_OK);
    EXPECT_EQ(service->service_cookie(), 0u);
    EXPECT_EQ(Git::Global().Invoke(cookie, [](const UnknownPtr&) { return S_OK; }), E_INVALIDARG);
    EXPECT_EQ(service->Terminate(), S_OK) << "a second Terminate has nothing left to do";
    apartment->Close();
}

TEST_F(VelkDataServiceTest, InitializeNeedsAnApartment)
{
    auto service = std::make_shared<CVelkDataService>();
    EXPECT_EQ(service->Initialize(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(service->service_cookie(), 0u);
}

TEST_F(VelkDataServiceTest, MembersWithoutPlayers)
{
    auto apartment = Apartment::Create();
    auto service = std::make_shared<CVelkDataService>();
    ASSERT_EQ(service->Initialize(), S_OK);

    std::string version;
    ASSERT_EQ(service->get_Version(version), S_OK);
    EXPECT_TRUE(std::regex_match(version, std::regex(R"((0|[1-9][0-9]*)(\.(0|[1-9][0-9]*)){3})")))
        << version;

    EXPECT_EQ(service->RemoveDevice("uuid:nobody"), E_FAIL);
    std::shared_ptr<IVelkDevices> players;
    ASSERT_EQ(service->get_VelkDevices(players), S_OK);
    std::int32_t count = -1;
    ASSERT_EQ(players->get_Count(count), S_OK);
    EXPECT_EQ(count, 0);
    std::shared_ptr<IVelkDevice> player;
    EXPECT_EQ(players->Item(Variant(0), player), E_INVALIDARG);
    EXPECT_EQ(players->Item(Variant("uuid:nobody"), player), E_INVALIDARG);
    std::shared_ptr<IVelkHosts> hosts;
    ASSERT_EQ(service->get_Hosts(hosts), S_OK);
    ASSERT_EQ(hosts->get_Count(count), S_OK);
    EXPECT_EQ(count, 0);

    // Stopping a search that does not run, twice, is harmless; an unknown service is refused.
    EXPECT_EQ(service->ControlService(ServiceName::ServiceNameUPnP, kServiceOff), S_OK);
    EXPECT_EQ(service->ControlService(ServiceName::ServiceNameUPnP, kServiceOff), S_OK);
    EXPECT_EQ(service->ControlService(ServiceName::ServiceNameUPnP, 7), S_OK);
    EXPECT_EQ(service->ControlService(static_cast<ServiceName>(5), kServiceOn), E_INVALIDARG);

    EXPECT_EQ(service->Terminate(), S_OK);
    apartment->Close();
}

TEST_F(VelkDataServiceTest, EventRecordsTakeOneDimensionalFieldsOnly)
{
    auto apartment = Apartment::Create();
    auto service = std::make_shared<CVelkDataService>();
    struct Case {
        Variant fields;
        HRESULT expected;
        std::vector<std::string> strings;
    };
    const Case cases[] = {
        {Variant(), S_OK, {}},
        {Variant(Variant::Null{}), S_OK, {}},
        {Variant(std::vector<Variant>{Variant("disk"), Variant(42)}), S_OK, {"disk", "42"}},
        {Variant(VariantArray{{1, 2}, {Variant(1), Variant(2)}}), E_INVALIDARG, {}},
        {Variant("not an array"), E_INVALIDARG, {}},
    };
    for (const auto& c : cases) {
        RecordingEventLog log;
        EXPECT_EQ(service->ReportVelkEvent(EventTypes::EventLogWarning, EventCategories::Device,
                                           0xC0020102, c.fields),
                  c.expected);
        if (FAILED(c.expected)) {
            EXPECT_TRUE(log.Records().empty());
            continue;
        }
        const auto records = log.Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].type, EventLogType::Warning);
        EXPECT_EQ(records[0].category, 3);
        EXPECT_EQ(records[0].event_id, 0xC0020102u);
        EXPECT_EQ(records[0].strings, c.strings);
    }
    apartment->Close();
}

// A player's shell that is not up yet is tried again; other makers' renderers are never players,
// whatever their model is called.
TEST(PlayerAssociation, TheManufacturerMarksOurPlayers)
{
    struct Case {
        const char* manufacturer;
        const char* model_name;
        bool player;
    };
    const Case cases[] = {
        {"Velk", "Melodeck", true},
        {"Velk", "KD-40", true},
        {"VELK", "", true},
        {"Sonata Audio", "Melodeck compatible", false},
        {"Velk Audio", "Melodeck", false},
        {"", "Melodeck", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.manufacturer) + " / " + c.model_name);
        UPnPDeviceInfo device;
        device.manufacturer = c.manufacturer;
        device.model_name = c.model_name;
        EXPECT_EQ(HasPlayerAssociation(device), c.player);
    }
}

} // namespace
} // namespace velk
