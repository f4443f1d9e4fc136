// The real root object hosting a provider module as the service does, with simulated players:
// the module registered, the root object initialised on the test's apartment and terminated
// at the end. Service is the root object's class (a test may record what it is told).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/registry_test_fixture.h"
#include "platform/testdata/run_apartment_until.h"
#include "tools/sim/sim_test_support.h"

namespace velk::testing {

template <class Service> class HostingFixture : public RegistryFixture {
protected:
    static constexpr std::uint32_t kHostingSafetyMs = 10000;

    HostingFixture(const char* module, std::vector<std::string> sim_args)
        : module_(module), sim_(std::move(sim_args))
    {
    }

    void SetUp() override
    {
        RegistryFixture::SetUp();
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
        ASSERT_TRUE(sim_.ready());
        ASSERT_EQ(ClassRegistry::RegisterModule(module_), S_OK);
        service_ = std::make_shared<Service>();
        ASSERT_EQ(service_->Initialize(), S_OK);
    }

    void TearDown() override
    {
        if (service_) {
            EXPECT_EQ(service_->Terminate(), S_OK);
        }
        service_.reset();
        if (apartment_)
            apartment_->Close();
        RegistryFixture::TearDown();
    }

    bool PumpUntil(const std::function<bool()>& condition,
                   std::uint32_t timeout_ms = kHostingSafetyMs)
    {
        return RunApartmentUntil(*apartment_, condition, timeout_ms);
    }

    const char* const module_;
    sim::testing::SimProcess sim_;
    std::shared_ptr<Apartment> apartment_;
    std::shared_ptr<Service> service_;
};

} // namespace velk::testing
