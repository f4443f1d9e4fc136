#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include "automation/testdata/test_objects.h"

namespace velk {
namespace {

using testing::CPlainObject;
using testing::CTestChild;
using testing::CTestObject;

class DispatchTest : public ::testing::Test {
protected:
    // Invokes a member by name, as the automation server does.
    HRESULT Call(std::string_view name, MemberKind kind, std::vector<Variant> args, Variant& result)
    {
        const MemberDesc* member = object_->Table().Find(name, kind);
        if (!member)
            return DISP_E_UNKNOWNNAME;
        return object_->Invoke(member->dispid, kind, args, result);
    }

    HRESULT Put(std::string_view name, Variant value)
    {
        Variant ignored;
        return Call(name, MemberKind::PropertyPut, {std::move(value)}, ignored);
    }

    Variant Get(std::string_view name)
    {
        Variant result;
        EXPECT_EQ(Call(name, MemberKind::PropertyGet, {}, result), S_OK) << name;
        return result;
    }

    std::shared_ptr<CTestObject> object_ = std::make_shared<CTestObject>();
};

TEST_F(DispatchTest, TableFindsMembersByNameWithoutRegardToCaseAndByDispid)
{
    const DispatchTable& table = object_->Table();
    EXPECT_EQ(table.interface_name(), "ITestObject");

    const MemberDesc* get = table.Find("volume", MemberKind::PropertyGet);
    EXPECT_EQ(get, nullptr);
    get = table.Find("cOuNt", MemberKind::PropertyGet);
    const MemberDesc* put = table.Find("COUNT", MemberKind::PropertyPut);
    ASSERT_NE(get, nullptr);
    ASSERT_NE(put, nullptr);
    EXPECT_EQ(get->dispid, put->dispid);
    EXPECT_EQ(get->name, "Count");
    EXPECT_EQ(table.Find(get->dispid, MemberKind::PropertyGet), get);
    EXPECT_EQ(table.Find(get->dispid, MemberKind::Method), nullptr);

    DISPID dispid = 0;
    EXPECT_EQ(table.GetIDOfName("sketch", dispid), S_OK);
    EXPECT_EQ(dispid, 20);
    EXPECT_EQ(table.GetIDOfName("Skatch", dispid), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchTest, TableDescribesParametersAndResultsFromTheBoundCode)
{
    struct Case {
        const char* name;
        MemberKind kind;
        std::vector<VARTYPE> params;
        std::size_t required;
        VARTYPE result;
    };
    const Case cases[] = {
        {"Count", MemberKind::PropertyGet, {}, 0, VT_I4},
        {"Count", MemberKind::PropertyPut, {VT_I4}, 1, VT_EMPTY},
        {"Size", MemberKind::PropertyGet, {}, 0, VT_UI4},
        {"Ratio", MemberKind::PropertyGet, {}, 0, VT_R8},
        {"Enabled", MemberKind::PropertyPut, {VT_BOOL}, 1, VT_EMPTY},
        {"Name", MemberKind::PropertyPut, {VT_BSTR}, 1, VT_EMPTY},
        {"When", MemberKind::PropertyGet, {}, 0, VT_DATE},
        {"Anything", MemberKind::PropertyPut, {VT_VARIANT}, 1, VT_EMPTY},
        {"Colour", MemberKind::PropertyGet, {}, 0, VT_I4},
        {"Child", MemberKind::PropertyGet, {}, 0, VT_DISPATCH},
        {"Thing", MemberKind::PropertyPut, {VT_UNKNOWN}, 1, VT_EMPTY},
        {"Items", MemberKind::PropertyGet, {}, 0, static_cast<VARTYPE>(VT_ARRAY | VT_VARIANT)},
        {"Item", MemberKind::PropertyGet, {VT_I4}, 1, VT_BSTR},
        {"Item", MemberKind::PropertyPut, {VT_I4, VT_BSTR}, 2, VT_EMPTY},
        {"Sketch", MemberKind::Method, {VT_BSTR, VT_I4, VT_I4, VT_BOOL}, 1, VT_BSTR},
        {"Reset", MemberKind::Method, {}, 0, VT_EMPTY},
        {"Adopt", MemberKind::Method, {VT_DISPATCH}, 1, VT_EMPTY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MemberDesc* member = object_->Table().Find(c.name, c.kind);
        ASSERT_NE(member, nullptr);
        std::vector<VARTYPE> types;
        for (const auto& param : member->params)
            types.push_back(param.type);
        EXPECT_EQ(types, c.params);
        EXPECT_EQ(member->RequiredCount(), c.required);
        EXPECT_EQ(member->result, c.result);
    }

    const MemberDesc* sketch = object_->Table().Find("Sketch", MemberKind::Method);
    EXPECT_EQ(sketch->params[1].name, "Row");
    EXPECT_EQ(sketch->params[3].default_value, Variant::FromBool(false));
    EXPECT_EQ(object_->Table().Find("Item", MemberKind::PropertyPut)->params[1].name, "Value");
}

TEST(DispatchTable, RefusesMembersThatClash)
{
    struct Case {
        const char* what;
        MemberDesc member;
    };
    const Case cases[] = {
        {"same name and kind", {"count", 7, MemberKind::PropertyGet, {}, VT_I4}},
        {"dispid of another member", {"Other", 1, MemberKind::Method, {}, VT_EMPTY}},
        {"put under another dispid", {"Count", 2, MemberKind::PropertyPut, {}, VT_EMPTY}},
        {"method with a property's name", {"Count", 1, MemberKind::Method, {}, VT_EMPTY}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DispatchTable table("ITest");
        table.Add({"Count", 1, MemberKind::PropertyGet, {}, VT_I4});
        EXPECT_THROW(table.Add(c.member), std::logic_error);
        EXPECT_EQ(table.members().size(), 1u);
    }
    DispatchTable table("ITest");
    table.Add({"Count", 1, MemberKind::PropertyGet, {}, VT_I4});
    EXPECT_NO_THROW(table.Add({"Count", 1, MemberKind::PropertyPut, {}, VT_EMPTY}));
}

TEST(DispatchBuilder, RefusesNamesThatDoNotFitTheParameters)
{
    using T = CTestObject;
    EXPECT_THROW(DispatchBuilder<T>("ITest").Method("Sketch", 1, &T::Sketch, {"Text"}),
                 std::logic_error);
    EXPECT_THROW(DispatchBuilder<T>("ITest").Method("Sketch", 1, &T::Sketch,
                                                    {"Text", Arg("Row", 0), "Column", "Clear"}),
                 std::logic_error);
}

TEST_F(DispatchTest, PutThenGetConvertsEachAutomationType)
{
    const Date date = *Date::FromCalendar({2024, 2, 29, 13, 5, 7});
    struct Case {
        const char* name;
        Variant put;
        Variant got;
    };
    const Case cases[] = {
        {"Count", Variant(-42), Variant(-42)},
        {"Count", Variant("17"), Variant(17)},
        {"Count", Variant(2.5), Variant(2)}, // halves round to even
        {"Count", Variant::FromBool(true), Variant(-1)},
        {"Size", Variant(std::int64_t{4000000000}), Variant(4000000000u)},
        {"Ratio", Variant("0.25"), Variant(0.25)},
        {"Enabled", Variant(1), Variant::FromBool(true)},
        {"Enabled", Variant("False"), Variant::FromBool(false)},
        {"Name", Variant("Melodeck \"x\""), Variant("Melodeck \"x\"")},
        {"Name", Variant(12), Variant("12")},
        {"When", Variant(date), Variant(date)},
        {"When", Variant(2.5), Variant(Date(2.5))},
        {"Anything", Variant(std::vector<Variant>{1, "a"}), Variant(std::vector<Variant>{1, "a"})},
        {"Colour", Variant(4), Variant(4)},
        {"Colour", Variant("2"), Variant(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.put.vt()));
        EXPECT_EQ(Put(c.name, c.put), S_OK);
        EXPECT_EQ(Get(c.name), c.got);
    }
}

TEST_F(DispatchTest, ArgumentsThatDoNotConvertFailWithoutCallingTheMember)
{
    struct Case {
        const char* name;
        Variant put;
        HRESULT hr;
    };
    const Case cases[] = {
        {"Count", Variant("twelve"), DISP_E_TYPEMISMATCH},
        {"Count", Variant(1e10), DISP_E_OVERFLOW},
        {"Count", Variant(UnknownPtr(std::make_shared<CPlainObject>())), DISP_E_TYPEMISMATCH},
        {"Size", Variant(-1), DISP_E_OVERFLOW},
        {"Enabled", Variant("maybe"), DISP_E_TYPEMISMATCH},
        {"When", Variant("yesterday"), DISP_E_TYPEMISMATCH},
        {"Name", Variant(Variant::Null{}), DISP_E_TYPEMISMATCH},
        {"Thing", Variant(3), DISP_E_TYPEMISMATCH},
        {"Colour", Variant(Variant::Null{}), DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Variant before = Get(c.name);
        EXPECT_EQ(Put(c.name, c.put), c.hr);
        EXPECT_EQ(Get(c.name), before);
    }
}

TEST_F(DispatchTest, OptionalArgumentsTakeTheirDefaultsAndCountsAreChecked)
{
    struct Case {
        std::vector<Variant> args;
        HRESULT hr;
        const char* drawn;
    };
    const Case cases[] = {
        {{"hi"}, S_OK, "0,0:hi"},
        {{"hi", 2}, S_OK, "2,0:hi"},
        {{"hi", 2, 5, Variant::FromBool(true)}, S_OK, "!2,5:hi"},
        {{"hi", Variant::Missing(), 5}, S_OK, "0,5:hi"},
        {{"hi", "3", 4.0, "true"}, S_OK, "!3,4:hi"},
        {{}, DISP_E_BADPARAMCOUNT, ""},
        {{"hi", 1, 2, Variant::FromBool(true), 5}, DISP_E_BADPARAMCOUNT, ""},
        {{Variant::Missing()}, DISP_E_PARAMNOTFOUND, ""},
        {{"hi", "row"}, DISP_E_TYPEMISMATCH, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.drawn) + " " + std::to_string(c.args.size()));
        Variant result;
        EXPECT_EQ(Call("Sketch", MemberKind::Method, c.args, result), c.hr);
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(result, Variant(c.drawn));
        }
    }
}

TEST_F(DispatchTest, MembersAreReachedOnlyInTheirOwnKind)
{
    struct Case {
        DISPID dispid;
        MemberKind kind;
    };
    const Case cases[] = {
        {9, MemberKind::PropertyPut},  // Child is read-only
        {13, MemberKind::PropertyGet}, // Secret is write-only
        {20, MemberKind::PropertyGet}, // Sketch is a method
        {1, MemberKind::Method},       {999, MemberKind::PropertyGet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dispid);
        std::vector<Variant> args{1};
        Variant result;
        EXPECT_EQ(object_->Invoke(c.dispid, c.kind, args, result), DISP_E_MEMBERNOTFOUND);
    }
}

TEST_F(DispatchTest, IndexedPropertyTakesItsIndexBeforeTheValue)
{
    Variant result;
    EXPECT_EQ(Call("Item", MemberKind::PropertyPut, {1, "uno"}, result), S_OK);
    EXPECT_EQ(Call("Item", MemberKind::PropertyGet, {1}, result), S_OK);
    EXPECT_EQ(result, Variant("uno"));
    EXPECT_EQ(Call("Item", MemberKind::PropertyGet, {7}, result), E_INVALIDARG);
    EXPECT_EQ(Call("Item", MemberKind::PropertyGet, {}, result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Get("Items"), Variant(std::vector<Variant>{"zero", "uno", "two"}));
}

TEST_F(DispatchTest, ObjectsTravelAsUnknownAndAreCheckedAgainstTheParameterType)
{
    const Variant child = Get("Child");
    UnknownPtr unknown;
    ASSERT_EQ(child.ToObject(unknown), S_OK);
    auto dispatchable = std::dynamic_pointer_cast<IDispatchable>(unknown);
    ASSERT_NE(dispatchable, nullptr);
    EXPECT_EQ(dispatchable->Table().interface_name(), "ITestChild");

    Variant result;
    auto other = std::make_shared<CTestChild>();
    EXPECT_EQ(Call("Adopt", MemberKind::Method, {UnknownPtr(other)}, result), S_OK);
    EXPECT_EQ(result, Variant());
    EXPECT_EQ(Get("Child"), Variant(UnknownPtr(other)));
    EXPECT_EQ(
        Call("Adopt", MemberKind::Method, {UnknownPtr(std::make_shared<CPlainObject>())}, result),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call("Adopt", MemberKind::Method, {"child"}, result), DISP_E_TYPEMISMATCH);

    EXPECT_EQ(Put("Thing", UnknownPtr(other)), S_OK);
    EXPECT_EQ(Get("Thing"), Variant(UnknownPtr(other)));
}

TEST_F(DispatchTest, FailuresOfMembersPassThroughAndExceptionsStopAtInvoke)
{
    Variant result = Variant("unchanged");
    EXPECT_EQ(Call("Fail", MemberKind::Method, {static_cast<std::int32_t>(E_RCP_TIMEOUT)}, result),
              E_RCP_TIMEOUT);
    EXPECT_EQ(Call("Fail", MemberKind::Method, {1}, result), S_FALSE);
    EXPECT_EQ(Call("Throw", MemberKind::Method, {}, result), E_OUTOFMEMORY);
    EXPECT_EQ(Call("Reset", MemberKind::Method, {}, result), S_OK);
    EXPECT_EQ(object_->resets(), 1);
}

} // namespace
} // namespace velk
