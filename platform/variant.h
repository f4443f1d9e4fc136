// The automation value: what scripts pass to and receive from the system's interfaces.
// Booleans are the automation boolean (-1 true, 0 false); strings are UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/date.h"
#include "platform/hresult.h"
#include "platform/unknown.h"

namespace velk {

// The automation type numbers, kept because callers exchange them.
enum VARTYPE : std::uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
};

using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

class Variant;

// A safe array of variants: its extents (one per dimension) and the elements, first index
// fastest.
struct VariantArray {
    std::vector<std::size_t> extents;
    std::vector<Variant> elements;

    std::size_t dimensions() const { return extents.size(); }
    bool operator==(const VariantArray& other) const;
};

class Variant {
public:
    struct Null {
        bool operator==(const Null&) const = default;
    };
    struct Bool {
        bool value;
        bool operator==(const Bool&) const = default;
    };
    // An error code standing as a value (a missing optional argument is DISP_E_PARAMNOTFOUND).
    struct Error {
        HRESULT code;
        bool operator==(const Error&) const = default;
    };

    Variant() = default;
    Variant(std::int8_t v) : value_(v) {}
    Variant(std::uint8_t v) : value_(v) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::uint16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(std::uint32_t v) : value_(v) {}
    Variant(std::int64_t v) : value_(v) {}
    Variant(std::uint64_t v) : value_(v) {}
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(Date v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(UnknownPtr v) : value_(std::move(v)) {}
    Variant(VariantArray v) : value_(std::move(v)) {}
    Variant(std::vector<Variant> v);
    Variant(Null v) : value_(v) {}
    Variant(Bool v) : value_(v) {}
    Variant(Error v) : value_(v) {}
    // A C++ bool would silently become an integer: say Variant::FromBool.
    Variant(bool) = delete;

    static Variant FromBool(bool v) { return Variant(Bool{v}); }
    static Variant Missing() { return Variant(Error{DISP_E_PARAMNOTFOUND}); }

    VARTYPE vt() const;
    bool IsEmpty() const { return vt() == VT_EMPTY; }
    bool IsMissing() const;

    // Typed access without conversion: null when the variant holds another type.
    template <typename T>
    const T* Get() const { return std::get_if<T>(&value_); }

    // Conversions as automation performs them. Failures: DISP_E_TYPEMISMATCH for a value that
    // does not convert, DISP_E_OVERFLOW for one out of the target's range.
    HRESULT ToString(std::string& out) const;
    HRESULT ToInt32(std::int32_t& out) const;
    HRESULT ToInt64(std::int64_t& out) const;
    // For indexes and counts: negative values overflow.
    HRESULT ToUInt32(std::uint32_t& out) const;
    HRESULT ToDouble(double& out) const;
    HRESULT ToBool(bool& out) const;
    HRESULT ToDate(Date& out) const;
    HRESULT ToObject(UnknownPtr& out) const;

    bool operator==(const Variant& other) const;

private:
    using Value = std::variant<std::monostate, Null, std::int8_t, std::uint8_t, std::int16_t,
                               std::uint16_t, std::int32_t, std::uint32_t, std::int64_t,
                               std::uint64_t, float, double, Bool, std::string, Date, UnknownPtr,
                               VariantArray, Error>;
    Value value_;
};

// Formats a date as text: "YYYY-MM-DD hh:mm:ss", without the time at midnight.
std::string DateToString(Date date);

} // namespace velk
