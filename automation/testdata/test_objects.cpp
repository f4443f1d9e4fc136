#include "automation/testdata/test_objects.h"

#include "platform/apartment.h"
#include "platform/error_info.h"

namespace velk::testing {

const Dispatcher<CTestChild>& CTestChild::Dispatch()
{
    static const auto dispatcher =
        DispatchBuilder<CTestChild>("ITestChild")
            .Property("Label", 1, &CTestChild::get_Label, &CTestChild::put_Label)
            .Get("Child", 2, &CTestChild::get_Child)
            .Method("Fail", 3, [](CTestChild&, std::int32_t code) { return HRESULT{code}; },
                    {"Code"})
            .Build();
    return dispatcher;
}

HRESULT CTestChild::get_Label(std::string& label)
{
    label = label_;
    return S_OK;
}

HRESULT CTestChild::put_Label(const std::string& label)
{
    label_ = label;
    return S_OK;
}

HRESULT CTestChild::get_Child(std::shared_ptr<CTestChild>& child)
{
    if (!child_)
        child_ = std::make_shared<CTestChild>();
    child = child_;
    return S_OK;
}

const Dispatcher<CTestObject>& CTestObject::Dispatch()
{
    using T = CTestObject;
    static const auto dispatcher =
        DispatchBuilder<T>("ITestObject")
            .Property("Count", 1, &T::get_Count, &T::put_Count)
            .Property("Size", 2, &T::get_Size, &T::put_Size)
            .Property("Ratio", 3, &T::get_Ratio, &T::put_Ratio)
            .Property("Enabled", 4, &T::get_Enabled, &T::put_Enabled)
            .Property("Name", 5, &T::get_Name, &T::put_Name)
            .Property("When", 6, &T::get_When, &T::put_When)
            .Property("Anything", 7, &T::get_Anything, &T::put_Anything)
            .Property("Colour", 8, &T::get_Colour, &T::put_Colour)
            .Get("Child", 9, &T::get_Child)
            .Property("Thing", 10, &T::get_Thing, &T::put_Thing)
            .Get("Items", 11, &T::get_Items)
            .Get("Item", 12, &T::get_Item, {"Index"})
            .Put("Item", 12, &T::put_Item, {"Index"})
            .Put("Secret", 13, &T::put_Secret)
            .Get("Plain", 14,
                 [](T&, UnknownPtr& plain) {
                     plain = std::make_shared<CPlainObject>();
                     return S_OK;
                 })
            .Method(
                "Sketch", 20, &T::Sketch,
                {"Text", Arg("Row", 0), Arg("Column", 0), Arg("Clear", Variant::FromBool(false))})
            .Method("Reset", 21, &T::Reset)
            .Method("Adopt", 22, &T::Adopt, {"Child"})
            .Method("Fail", 23, [](T&, std::int32_t code) { return HRESULT{code}; }, {"Code"})
            .Method("Throw", 24, [](T&) -> HRESULT { throw std::bad_alloc(); })
            .Build();
    return dispatcher;
}

CTestObject::CTestObject() : child_(std::make_shared<CTestChild>()), items_{"zero", "one", "two"} {}

HRESULT CTestObject::get_Count(std::int32_t& value)
{
    value = count_;
    return S_OK;
}
HRESULT CTestObject::put_Count(std::int32_t value)
{
    count_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Size(std::uint32_t& value)
{
    value = size_;
    return S_OK;
}
HRESULT CTestObject::put_Size(std::uint32_t value)
{
    size_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Ratio(double& value)
{
    value = ratio_;
    return S_OK;
}
HRESULT CTestObject::put_Ratio(double value)
{
    ratio_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Enabled(bool& value)
{
    value = enabled_;
    return S_OK;
}
HRESULT CTestObject::put_Enabled(bool value)
{
    enabled_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Name(std::string& value)
{
    value = name_;
    return S_OK;
}
HRESULT CTestObject::put_Name(std::string_view value)
{
    name_ = value;
    return S_OK;
}
HRESULT CTestObject::get_When(Date& value)
{
    value = when_;
    return S_OK;
}
HRESULT CTestObject::put_When(Date value)
{
    when_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Anything(Variant& value)
{
    value = anything_;
    return S_OK;
}
HRESULT CTestObject::put_Anything(const Variant& value)
{
    anything_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Colour(TestColour& value)
{
    value = colour_;
    return S_OK;
}
HRESULT CTestObject::put_Colour(TestColour value)
{
    colour_ = value;
    return S_OK;
}
HRESULT CTestObject::get_Child(std::shared_ptr<CTestChild>& child) const
{
    child = child_;
    return S_OK;
}
HRESULT CTestObject::get_Thing(UnknownPtr& thing)
{
    thing = thing_;
    return S_OK;
}
HRESULT CTestObject::put_Thing(UnknownPtr thing)
{
    thing_ = std::move(thing);
    return S_OK;
}

HRESULT CTestObject::get_Items(std::vector<Variant>& items)
{
    items.assign(items_.begin(), items_.end());
    return S_OK;
}

HRESULT CTestObject::get_Item(std::int32_t index, std::string& item)
{
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
        return E_INVALIDARG;
    item = items_[static_cast<std::size_t>(index)];
    return S_OK;
}

HRESULT CTestObject::put_Item(std::int32_t index, const std::string& item)
{
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
        return E_INVALIDARG;
    items_[static_cast<std::size_t>(index)] = item;
    return S_OK;
}

HRESULT CTestObject::put_Secret(const std::string& secret)
{
    secret_ = secret;
    return S_OK;
}

HRESULT CTestObject::Sketch(const std::string& text, std::int32_t row, std::int32_t column,
                            bool clear, std::string& drawn)
{
    drawn = (clear ? "!" : "") + std::to_string(row) + "," + std::to_string(column) + ":" + text;
    return S_OK;
}

HRESULT CTestObject::Reset()
{
    ++resets_;
    return S_OK;
}

HRESULT CTestObject::Adopt(std::shared_ptr<CTestChild> child)
{
    child_ = std::move(child);
    return S_OK;
}

const Dispatcher<CTestSource>& CTestSource::Dispatch()
{
    using T = CTestSource;
    static const auto dispatcher =
        DispatchBuilder<T>("ITestSource")
            .Get("Object", 1, &T::get_Object)
            .Get("Fresh", 2, &T::get_Fresh)
            .Property("MonitorRemoteKey", 3, &T::get_MonitorRemoteKey, &T::put_MonitorRemoteKey)
            .Property("MonitorDisplay", 4, &T::get_MonitorDisplay, &T::put_MonitorDisplay)
            .Get("OnApartment", 5, &T::get_OnApartment)
            .Method("Signal", 10, &T::Signal, {"Text"})
            .Method("Refuse", 11, &T::Refuse, {"Description"})
            .Method("SaveToFile", 12, &T::SaveToFile, {"Path"})
            .Method("PictureWidth", 13, &T::PictureWidth, {"Picture"})
            .Build();
    return dispatcher;
}

const DispatchTable& CTestSource::Events()
{
    static const DispatchTable table = [] {
        DispatchTable events("_ITestSourceEvents");
        events.Add(MemberDesc{"OnSignal", kDispidOnSignal, MemberKind::Method, {}, VT_EMPTY});
        return events;
    }();
    return table;
}

HRESULT CTestSource::AdviseDispatch(DispatchablePtr sink, DWORD& cookie)
{
    return sinks_.Advise(std::move(sink), cookie);
}

HRESULT CTestSource::UnadviseDispatch(DWORD cookie) { return sinks_.Unadvise(cookie); }

HRESULT CTestSource::get_Object(std::shared_ptr<CTestObject>& object)
{
    object = object_;
    return S_OK;
}

HRESULT CTestSource::get_Fresh(std::shared_ptr<CTestChild>& child)
{
    child = Issue();
    return S_OK;
}

std::shared_ptr<CTestChild> CTestSource::Issue()
{
    auto child = std::make_shared<CTestChild>();
    issued_.push_back(child);
    return child;
}

HRESULT CTestSource::get_MonitorRemoteKey(bool& on)
{
    on = remote_key_requests_ > 0;
    return S_OK;
}

HRESULT CTestSource::put_MonitorRemoteKey(bool on)
{
    if (!on && remote_key_requests_ == 0)
        return S_FALSE;
    remote_key_requests_ += on ? 1 : -1;
    return S_OK;
}

HRESULT CTestSource::get_MonitorDisplay(bool& on)
{
    on = display_requests_ > 0;
    return S_OK;
}

HRESULT CTestSource::put_MonitorDisplay(bool on)
{
    if (!on && display_requests_ == 0)
        return S_FALSE;
    display_requests_ += on ? 1 : -1;
    return S_OK;
}

HRESULT CTestSource::get_OnApartment(bool& on)
{
    on = Apartment::Current() != nullptr;
    return S_OK;
}

HRESULT CTestSource::Signal(const std::string& text)
{
    sinks_.Fire([&](IDispatchable& sink) {
        std::vector<Variant> args{Variant(text), Variant(UnknownPtr(Issue()))};
        Variant ignored;
        return sink.Invoke(kDispidOnSignal, MemberKind::Method, args, ignored);
    });
    return S_OK;
}

HRESULT CTestSource::Refuse(const std::string& description)
{
    return ReportError(E_INVALIDARG, description);
}

HRESULT CTestSource::SaveToFile(const std::string&)
{
    ++saves_;
    return S_OK;
}

HRESULT CTestSource::PictureWidth(std::shared_ptr<IPicture> picture, std::int32_t& width)
{
    return picture ? picture->get_Width(width) : E_POINTER;
}

} // namespace velk::testing
