// The finder's and the service's checks that need no network. Nothing here starts a search:
// discovery runs only inside a private network namespace (upnp_nstest.cpp).
#include "platform/upnp_device_finder.h"
#include "platform/upnp_service.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/apartment.h"

namespace velk {
namespace {

constexpr const char* kMediaRenderer = "urn:schemas-upnp-org:device:MediaRenderer:1";

TEST(UPnPDeviceFinder, NeedsAnApartmentForItsCallbacks)
{
    HRESULT hr = S_OK;
    std::shared_ptr<UPnPDeviceFinder> finder;
    std::thread plain([&] { hr = UPnPDeviceFinder::Create(finder); });
    plain.join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(finder);
}

TEST(UPnPDeviceFinder, RefusesDeviceTypesThatCouldBreakASearchHeader)
{
    auto apartment = Apartment::Create();
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    const std::string kTypes[] = {"", "urn:schemas upnp", "urn:x\r\nMAN: \"ssdp:discover\"",
                                  std::string(300, 'u')};
    for (const std::string& type : kTypes) {
        SCOPED_TRACE(type);
        long find = 7;
        EXPECT_EQ(finder->CreateAsyncFind(type, {}, find), E_INVALIDARG);
        EXPECT_EQ(find, 0);
    }
}

TEST(UPnPDeviceFinder, ChecksFindHandlesAndCancelsHarmlesslyTwice)
{
    auto apartment = Apartment::Create();
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder), S_OK);
    long find = 0;
    ASSERT_EQ(finder->CreateAsyncFind(kMediaRenderer, {}, find), S_OK);
    EXPECT_NE(find, 0);
    EXPECT_EQ(finder->StartAsyncFind(find + 1), E_INVALIDARG);
    EXPECT_EQ(finder->CancelAsyncFind(find + 1), E_INVALIDARG);
    EXPECT_EQ(finder->CancelAsyncFind(0), E_INVALIDARG);
    EXPECT_EQ(finder->CancelAsyncFind(find), S_OK);
    EXPECT_EQ(finder->CancelAsyncFind(find), S_OK);
    EXPECT_EQ(finder->StartAsyncFind(find), E_INVALIDARG);
}

TEST(UPnPDeviceFinder, CannotSearchOnAnInterfaceWithoutAnAddress)
{
    auto apartment = Apartment::Create();
    std::shared_ptr<UPnPDeviceFinder> finder;
    ASSERT_EQ(UPnPDeviceFinder::Create(finder, {"velk-none0"}), S_OK);
    long find = 0;
    ASSERT_EQ(finder->CreateAsyncFind(kMediaRenderer, {}, find), S_OK);
    EXPECT_EQ(finder->StartAsyncFind(find), E_FAIL);
}

TEST(UPnPService, OpensOnlyDevicesThatAFindReports)
{
    auto apartment = Apartment::Create();
    struct Case {
        const char* udn;
        const char* service_id;
        HRESULT expected;
    };
    const Case kCases[] = {
        {"uuid:nobody", "urn:upnp-org:serviceId:AVTransport", E_FAIL},
        {"", "urn:upnp-org:serviceId:AVTransport", E_INVALIDARG},
        {"uuid:nobody", "", E_INVALIDARG},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.udn);
        UPnPDeviceInfo device;
        device.udn = c.udn;
        std::shared_ptr<UPnPService> service;
        EXPECT_EQ(UPnPService::Open(device, c.service_id, service), c.expected);
        EXPECT_FALSE(service);
    }
}

} // namespace
} // namespace velk
