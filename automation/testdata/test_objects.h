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

} // namespace velk::testing
