// A real automation server on 127.0.0.1 (a port the system picks) serving a CTestSource that
// lives on an apartment thread of its own, with the session callbacks counted, for the server
// and client tests.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "automation/automation_client.h"
#include "automation/automation_server.h"
#include "automation/testdata/test_objects.h"
#include "platform/apartment.h"
#include "platform/event.h"

namespace velk::testing {

class AutomationFixture : public ::testing::Test {
protected:
    // Generous: only a broken server waits this long.
    static constexpr std::uint32_t kPatienceMs = 20000;

    void SetUp() override
    {
        apartment_->Invoke([this] {
            source_ = std::make_shared<CTestSource>();
            return S_OK;
        });
    }

    void TearDown() override
    {
        if (server_)
            server_->Stop();
        apartment_->Invoke([this] {
            source_.reset();
            return S_OK;
        });
    }

    void StartServer(AutomationServer::Options options = {})
    {
        options.port = 0;
        options.on_client_opened = [this] { ++opened_; };
        options.on_client_closed = [this] {
            ++closed_;
            closed_event_.Set();
        };
        options.event_tables.emplace("ITestSource", CTestSource::Events());
        server_ = std::make_unique<AutomationServer>(apartment_, source_, std::move(options));
        ASSERT_EQ(server_->Start(), S_OK);
    }

    std::shared_ptr<AutomationClient> Connect(const std::string& token = "")
    {
        std::shared_ptr<AutomationClient> client;
        EXPECT_EQ(AutomationClient::Connect("127.0.0.1", server_->port(), token, client), S_OK);
        return client;
    }

    // Runs fn where the test objects live.
    template <typename Fn> void OnApartment(Fn fn)
    {
        apartment_->Invoke([&] {
            fn(*source_);
            return S_OK;
        });
    }

    // Waits until that many sessions have ended.
    bool WaitClosed(int count)
    {
        const Deadline deadline(kPatienceMs);
        while (closed_ < count) {
            if (!closed_event_.Wait(deadline.RemainingMs()))
                return false;
        }
        return true;
    }

    ApartmentThread thread_;
    const std::shared_ptr<Apartment> apartment_ = thread_.apartment();
    std::shared_ptr<CTestSource> source_;
    std::atomic<int> opened_{0};
    std::atomic<int> closed_{0};
    Event closed_event_{Event::Reset::Auto};
    std::unique_ptr<AutomationServer> server_;
};

// Calls a member by name, as velkctl does.
inline HRESULT CallByName(const DispatchablePtr& object, std::string_view name, MemberKind kind,
                          std::vector<Variant> args, Variant& result)
{
    const MemberDesc* member = object->Table().Find(name, kind);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    return object->Invoke(member->dispid, kind, args, result);
}

inline HRESULT PutByName(const DispatchablePtr& object, std::string_view name, Variant value)
{
    Variant ignored;
    return CallByName(object, name, MemberKind::PropertyPut, {std::move(value)}, ignored);
}

inline Variant GetByName(const DispatchablePtr& object, std::string_view name,
                         std::vector<Variant> args = {})
{
    Variant result;
    EXPECT_EQ(CallByName(object, name, MemberKind::PropertyGet, std::move(args), result), S_OK)
        << name;
    return result;
}

inline DispatchablePtr ObjectOf(const Variant& value)
{
    UnknownPtr object;
    EXPECT_EQ(value.ToObject(object), S_OK);
    return std::dynamic_pointer_cast<IDispatchable>(object);
}

} // namespace velk::testing
