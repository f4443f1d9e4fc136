#include "platform/variant.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <strings.h>

namespace velk {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<double> ParseReal(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Integers as automation rounds them: halves to the even neighbour.
HRESULT RealToInt64(double value, std::int64_t& out)
{
    if (!std::isfinite(value))
        return DISP_E_OVERFLOW;
    const double rounded = std::nearbyint(value);
    if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0)
        return DISP_E_OVERFLOW;
    out = static_cast<std::int64_t>(rounded);
    return S_OK;
}

std::string FormatReal(double value, int digits)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

} // namespace

Variant::Variant(std::vector<Variant> v) : value_(VariantArray{{v.size()}, std::move(v)}) {}

VARTYPE Variant::vt() const
{
    static constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I1,   VT_UI1,  VT_I2,   VT_UI2,
                                         VT_I4,    VT_UI4,  VT_I8,   VT_UI8,  VT_R4,   VT_R8,
                                         VT_BOOL,  VT_BSTR, VT_DATE, VT_UNKNOWN,
                                         static_cast<VARTYPE>(VT_ARRAY | VT_VARIANT), VT_ERROR};
    static_assert(std::size(kTypes) == std::variant_size_v<Value>);
    return kTypes[value_.index()];
}

bool Variant::IsMissing() const
{
    auto error = Get<Error>();
    return error && error->code == DISP_E_PARAMNOTFOUND;
}

bool VariantArray::operator==(const VariantArray& other) const
{
    return extents == other.extents && elements == other.elements;
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

HRESULT Variant::ToInt64(std::int64_t& out) const
{
    return std::visit(
        Overloaded{
            [&](std::monostate) { out = 0; return S_OK; },
            [&](const Bool& b) { out = b.value ? -1 : 0; return S_OK; },
            [&](std::uint64_t v) {
                if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                    return DISP_E_OVERFLOW;
                out = static_cast<std::int64_t>(v);
                return S_OK;
            },
            [&](float v) { return RealToInt64(v, out); },
            [&](double v) { return RealToInt64(v, out); },
            [&](Date v) { return RealToInt64(v.value(), out); },
            [&](const std::string& s) {
                const std::string_view text = Trim(s);
                std::int64_t value = 0;
                auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
                if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
                    out = value;
                    return S_OK;
                }
                if (error == std::errc::result_out_of_range)
                    return DISP_E_OVERFLOW;
                auto real = ParseReal(text);
                return real ? RealToInt64(*real, out) : DISP_E_TYPEMISMATCH;
            },
            [&](Null) { return DISP_E_TYPEMISMATCH; },
            [&](const UnknownPtr&) { return DISP_E_TYPEMISMATCH; },
            [&](const VariantArray&) { return DISP_E_TYPEMISMATCH; },
            [&](const Error&) { return DISP_E_TYPEMISMATCH; },
            [&](auto v) { out = static_cast<std::int64_t>(v); return S_OK; },
        },
        value_);
}

HRESULT Variant::ToInt32(std::int32_t& out) const
{
    std::int64_t value = 0;
    HRESULT hr = ToInt64(value);
    if (FAILED(hr))
        return hr;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return DISP_E_OVERFLOW;
    out = static_cast<std::int32_t>(value);
    return S_OK;
}

HRESULT Variant::ToUInt32(std::uint32_t& out) const
{
    if (auto v = Get<std::uint64_t>()) {
        if (*v > std::numeric_limits<std::uint32_t>::max())
            return DISP_E_OVERFLOW;
        out = static_cast<std::uint32_t>(*v);
        return S_OK;
    }
    std::int64_t value = 0;
    HRESULT hr = ToInt64(value);
    if (FAILED(hr))
        return hr;
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
        return DISP_E_OVERFLOW;
    out = static_cast<std::uint32_t>(value);
    return S_OK;
}

HRESULT Variant::ToDouble(double& out) const
{
    return std::visit(
        Overloaded{
            [&](std::monostate) { out = 0; return S_OK; },
            [&](const Bool& b) { out = b.value ? -1 : 0; return S_OK; },
            [&](Date v) { out = v.value(); return S_OK; },
            [&](const std::string& s) {
                auto real = ParseReal(s);
                if (!real)
                    return DISP_E_TYPEMISMATCH;
                out = *real;
                return S_OK;
            },
            [&](Null) { return DISP_E_TYPEMISMATCH; },
            [&](const UnknownPtr&) { return DISP_E_TYPEMISMATCH; },
            [&](const VariantArray&) { return DISP_E_TYPEMISMATCH; },
            [&](const Error&) { return DISP_E_TYPEMISMATCH; },
            [&](auto v) { out = static_cast<double>(v); return S_OK; },
        },
        value_);
}

HRESULT Variant::ToBool(bool& out) const
{
    if (auto b = Get<Bool>()) {
        out = b->value;
        return S_OK;
    }
    if (auto s = Get<std::string>()) {
        const std::string text(Trim(*s));
        if (strcasecmp(text.c_str(), "true") == 0 || strcasecmp(text.c_str(), "#true#") == 0) {
            out = true;
            return S_OK;
        }
        if (strcasecmp(text.c_str(), "false") == 0 || strcasecmp(text.c_str(), "#false#") == 0) {
            out = false;
            return S_OK;
        }
    }
    double value = 0;
    HRESULT hr = ToDouble(value);
    if (FAILED(hr))
        return hr;
    out = value != 0;
    return S_OK;
}

HRESULT Variant::ToDate(Date& out) const
{
    if (auto date = Get<Date>()) {
        out = *date;
        return S_OK;
    }
    if (Get<std::string>() || Get<Bool>())
        return DISP_E_TYPEMISMATCH;
    double value = 0;
    HRESULT hr = ToDouble(value);
    if (FAILED(hr))
        return hr;
    if (!Date(value).IsValid())
        return DISP_E_OVERFLOW;
    out = Date(value);
    return S_OK;
}

HRESULT Variant::ToObject(UnknownPtr& out) const
{
    auto object = Get<UnknownPtr>();
    if (!object)
        return DISP_E_TYPEMISMATCH;
    out = *object;
    return S_OK;
}

HRESULT Variant::ToString(std::string& out) const
{
    return std::visit(
        Overloaded{
            [&](std::monostate) { out.clear(); return S_OK; },
            [&](const Bool& b) { out = b.value ? "True" : "False"; return S_OK; },
            [&](float v) { out = FormatReal(v, 7); return S_OK; },
            [&](double v) { out = FormatReal(v, 15); return S_OK; },
            [&](Date v) {
                if (!v.IsValid())
                    return DISP_E_OVERFLOW;
                out = DateToString(v);
                return S_OK;
            },
            [&](const std::string& s) { out = s; return S_OK; },
            [&](std::int8_t v) { out = std::to_string(v); return S_OK; },
            [&](std::uint8_t v) { out = std::to_string(v); return S_OK; },
            [&](Null) { return DISP_E_TYPEMISMATCH; },
            [&](const UnknownPtr&) { return DISP_E_TYPEMISMATCH; },
            [&](const VariantArray&) { return DISP_E_TYPEMISMATCH; },
            [&](const Error&) { return DISP_E_TYPEMISMATCH; },
            [&](auto v) { out = std::to_string(v); return S_OK; },
        },
        value_);
}

std::string DateToString(Date date)
{
    auto t = date.ToCalendar();
    if (!t)
        return {};
    char text[32];
    if (t->hour == 0 && t->minute == 0 && t->second == 0)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", t->year, t->month, t->day);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                      t->hour, t->minute, t->second);
    return text;
}

} // namespace velk
