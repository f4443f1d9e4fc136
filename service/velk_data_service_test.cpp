#include "service/velk_data_service.h"

#include <gtest/gtest.h>

#include "platform/apartment.h"
#include "platform/git.h"

namespace velk {
namespace {

TEST(VelkDataService, InitializeEntersItInTheInterfaceTableAndTerminateTakesItOut)
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

TEST(VelkDataService, InitializeNeedsAnApartment)
{
    auto service = std::make_shared<CVelkDataService>();
    EXPECT_EQ(service->Initialize(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(service->service_cookie(), 0u);
}

} // namespace
} // namespace velk
