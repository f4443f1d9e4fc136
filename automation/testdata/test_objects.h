// Small automation objects for the dispatch and expression tests: a root with a property of each
// automation type, an indexed property, a method with optional arguments, an enumeration, a
// child object, and members that fail on request. Used on the test's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/enum_registry.h"
#include "automation/event_source.h"
#include "automation/picture.h"
#include "platform/connection_point.h"

namespace velk::testing {

enum class TestColour : std::int32_t {
    ColourNone = 0,
    ColourRed = 1,
    ColourGreen = 2,
    ColourBlue = 4,
};

inline const EnumRegistration kTestColourNames{
    "TestColour", {{"ColourNone", 0}, {"ColourRed", 1}, {"ColourGreen", 2}, {"ColourBlue", 4}}};

// An object with no dispatch table at all.
class CPlainObject : public IUnknown {};

class CTestChild : public DispatchImpl<CTestChild> {
public:
    static const Dispatcher<CTestChild>& Dispatch();

    HRESULT get_Label(std::string& label);
    HRESULT put_Label(const std::string& label);
    // A grandchild, so that chains can go deeper than one step.
    HRESULT get_Child(std::shared_ptr<CTestChild>& child);

private:
    std::string label_ = "child";
    std::shared_ptr<CTestChild> child_;
};

class CTestObject : public DispatchImpl<CTestObject> {
public:
    static const Dispatcher<CTestObject>& Dispatch();

    CTestObject();

    HRESULT get_Count(std::int32_t& value);
    HRESULT put_Count(std::int32_t value);
    HRESULT get_Size(std::uint32_t& value);
    HRESULT put_Size(std::uint32_t value);
    HRESULT get_Ratio(double& value);
    HRESULT put_Ratio(double value);
    HRESULT get_Enabled(bool& value);
    HRESULT put_Enabled(bool value);
    HRESULT get_Name(std::string& value);
    HRESULT put_Name(std::string_view value);
    HRESULT get_When(Date& value);
    HRESULT put_When(Date value);
    HRESULT get_Anything(Variant& value);
    HRESULT put_Anything(const Variant& value);
    HRESULT get_Colour(TestColour& value);
    HRESULT put_Colour(TestColour value);
    HRESULT get_Child(std::shared_ptr<CTestChild>& child) const;
    HRESULT get_Thing(UnknownPtr& thing);
    HRESULT put_Thing(UnknownPtr thing);
    HRESULT get_Items(std::vector<Variant>& items);
    HRESULT get_Item(std::int32_t index, std::string& item);
    HRESULT put_Item(std::int32_t index, const std::string& item);
    HRESULT put_Secret(const std::string& secret);

    // Text at a row and column of a display, optionally clearing it first; returns what it
    // would draw as "row,col:text" (with "!" in front when clearing).
    HRESULT Sketch(const std::string& text, std::int32_t row, std::int32_t column, bool clear,
                   std::string& drawn);
    HRESULT Reset();
    // Takes the child of another object: only a CTestChild will do.
    HRESULT Adopt(std::shared_ptr<CTestChild> child);

    const std::string& secret() const { return secret_; }
    int resets() const { return resets_; }

private:
    std::int32_t count_ = 0;
    std::uint32_t size_ = 0;
    double ratio_ = 0;
    bool enabled_ = false;
    std::string name_;
    Date when_;
    Variant anything_;
    TestColour colour_ = TestColour::ColourNone;
    std::shared_ptr<CTestChild> child_;
    UnknownPtr thing_;
    std::vector<std::string> items_;
    std::string secret_;
    int resets_ = 0;
};

// The automation server's root in its tests, shaped as scripts see the RCP session: advised
// sinks hear OnSignal(Text, Child) when Signal is called; MonitorRemoteKey and MonitorDisplay
// count requests (a put of FALSE with none outstanding gives S_FALSE); SaveToFile writes a file
// by path; every child it hands out is remembered weakly so that a test can see it let go.
// Lives in one apartment.
class CTestSource : public DispatchImpl<CTestSource>, public IEventSource {
public:
    static constexpr DISPID kDispidOnSignal = 1;

    static const Dispatcher<CTestSource>& Dispatch();
    // Its events, for the server to name them: OnSignal.
    static const DispatchTable& Events();

    HRESULT AdviseDispatch(DispatchablePtr sink, DWORD& cookie) override;
    HRESULT UnadviseDispatch(DWORD cookie) override;

    HRESULT get_Object(std::shared_ptr<CTestObject>& object);
    // A new child each time.
    HRESULT get_Fresh(std::shared_ptr<CTestChild>& child);
    HRESULT get_MonitorRemoteKey(bool& on);
    HRESULT put_MonitorRemoteKey(bool on);
    HRESULT get_MonitorDisplay(bool& on);
    HRESULT put_MonitorDisplay(bool on);
    // True when called on an apartment's thread.
    HRESULT get_OnApartment(bool& on);
    HRESULT Signal(const std::string& text);
    // Fails with E_INVALIDARG and the description as the thread's error record.
    HRESULT Refuse(const std::string& description);
    HRESULT SaveToFile(const std::string& path);
    HRESULT PictureWidth(std::shared_ptr<IPicture> picture, std::int32_t& width);

    int remote_key_requests() const { return remote_key_requests_; }
    int display_requests() const { return display_requests_; }
    int saves() const { return saves_; }
    bool advised() const { return !sinks_.empty(); }
    const std::vector<std::weak_ptr<CTestChild>>& issued() const { return issued_; }

private:
    std::shared_ptr<CTestChild> Issue();

    std::shared_ptr<CTestObject> object_ = std::make_shared<CTestObject>();
    int remote_key_requests_ = 0;
    int display_requests_ = 0;
    int saves_ = 0;
    std::vector<std::weak_ptr<CTestChild>> issued_;
    ConnectionPoint<IDispatchable> sinks_;
};

} // namespace velk::testing
