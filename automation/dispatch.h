// The type library at run time: each automation interface's dispatch table (member names,
// dispids, get/put/method, parameter and result types) and the binding of its members to the
// class that implements it, so that the automation server, velkctl and the desktop programs
// reach any object by member name through one Invoke. Tables are built once, at first use,
// and are read-only afterwards; Invoke runs on the caller's thread (the object's apartment).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/hresult.h"
#include "platform/unknown.h"
#include "platform/variant.h"

namespace velk {

using DISPID = std::int32_t;

enum class MemberKind { PropertyGet, PropertyPut, Method };

struct ParamDesc {
    std::string name;
    VARTYPE type = VT_VARIANT;
    bool optional = false;
    // What a left-out optional argument stands for (Variant::Missing() passes it on as missing).
    Variant default_value;
};

struct MemberDesc {
    std::string name;
    DISPID dispid = 0;
    MemberKind kind = MemberKind::Method;
    // Inputs in call order; a put's last parameter is the new value.
    std::vector<ParamDesc> params;
    // The [out, retval] type; VT_EMPTY for a member without one.
    VARTYPE result = VT_EMPTY;

    std::size_t RequiredCount() const;
};


// DISP_E_BADPARAMCOUNT unless count lies between the member's required and total parameters.
HRESULT CheckParamCount(const MemberDesc& member, std::size_t count);

// The members of one interface. A property's get and put share one dispid and one name; a
// method's name and dispid are its own.
class DispatchTable {
public:
    explicit DispatchTable(std::string interface_name) : interface_name_(std::move(interface_name))
    {
    }

    const std::string& interface_name() const { return interface_name_; }
    const std::vector<MemberDesc>& members() const { return members_; }

    // A table that contradicts itself (a name or dispid twice for one kind, a get and put that
    // disagree, a method sharing a property's name) is a fault of the class that builds it:
    // std::logic_error, raised the first time the class's table is built.
    void Add(MemberDesc member);

    const MemberDesc* Find(std::string_view name, MemberKind kind) const;
    const MemberDesc* Find(DISPID dispid, MemberKind kind) const;
    // DISP_E_UNKNOWNNAME for a name no member of the table has.
    HRESULT GetIDOfName(std::string_view name, DISPID& dispid) const;

private:
    std::string interface_name_;
    std::vector<MemberDesc> members_;
};

// What an automation object implements. A dual interface derives from this as it derives from
// IDispatch elsewhere, so that every object reached through it can be driven by name.
class IDispatchable : public IUnknown {
public:
    virtual const DispatchTable& Table() const = 0;
    // args: first argument first, a put's new value last; trailing optional arguments may be
    // left out or passed as Variant::Missing(). Fails with DISP_E_MEMBERNOTFOUND for a dispid
    // without that kind of member, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND (a required
    // argument passed as missing), the conversion failures of Variant (DISP_E_TYPEMISMATCH,
    // DISP_E_OVERFLOW), or with the member's own result.
    virtual HRESULT Invoke(DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                           Variant& result) = 0;
};

using DispatchablePtr = std::shared_ptr<IDispatchable>;

namespace dispatch_detail {

template <typename> inline constexpr bool kUnsupported = false;

template <typename T> struct SharedPtr : std::false_type {
};
template <typename T> struct SharedPtr<std::shared_ptr<T>> : std::true_type {
    using Element = T;
};

// How an input parameter is held while the call is made: string views over a string.
template <typename A>
using Stored = std::conditional_t<std::is_same_v<std::remove_cvref_t<A>, std::string_view>,
                                  std::string, std::remove_cvref_t<A>>;

template <typename A>
inline constexpr bool kIsOutput =
    std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

template <typename... A> constexpr bool LastIsOutput()
{
    if constexpr (sizeof...(A) == 0)
        return false;
    else
        return kIsOutput<std::tuple_element_t<sizeof...(A) - 1, std::tuple<A...>>>;
}

template <typename T> constexpr VARTYPE VarTypeOf()
{
    if constexpr (std::is_same_v<T, bool>)
        return VT_BOOL;
    else if constexpr (std::is_enum_v<T> || std::is_same_v<T, std::int32_t>)
        return VT_I4;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return VT_UI4;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return VT_I2;
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return VT_UI2;
    else if constexpr (std::is_same_v<T, std::int8_t>)
        return VT_I1;
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        return VT_UI1;
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return VT_I8;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return VT_UI8;
    else if constexpr (std::is_same_v<T, double>)
        return VT_R8;
    else if constexpr (std::is_same_v<T, float>)
        return VT_R4;
    else if constexpr (std::is_same_v<T, std::string>)
        return VT_BSTR;
    else if constexpr (std::is_same_v<T, Date>)
        return VT_DATE;
    else if constexpr (std::is_same_v<T, Variant>)
        return VT_VARIANT;
    else if constexpr (std::is_same_v<T, std::vector<Variant>>)
        return static_cast<VARTYPE>(VT_ARRAY | VT_VARIANT);
    else if constexpr (SharedPtr<T>::value)
        return std::is_base_of_v<IDispatchable, typename SharedPtr<T>::Element> ? VT_DISPATCH
                                                                                : VT_UNKNOWN;
    else
        static_assert(kUnsupported<T>, "no automation type for this parameter");
}

// An argument as the member's C++ parameter, with the conversion rules of Variant.
template <typename T> HRESULT FromVariant(const Variant& value, T& out)
{
    if constexpr (std::is_same_v<T, bool>) {
        return value.ToBool(out);
    } else if constexpr (std::is_enum_v<T>) {
        std::int32_t number = 0;
        HRESULT hr = value.ToInt32(number);
        if (SUCCEEDED(hr))
            out = static_cast<T>(number);
        return hr;
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        return value.ToInt32(out);
    } else if constexpr (std::is_same_v<T, std::uint32_t>) {
        return value.ToUInt32(out);
    } else if constexpr (std::is_integral_v<T>) {
        std::int64_t number = 0;
        HRESULT hr = value.ToInt64(number);
        if (FAILED(hr))
            return hr;
        if (!std::in_range<T>(number))
            return DISP_E_OVERFLOW;
        out = static_cast<T>(number);
        return S_OK;
    } else if constexpr (std::is_floating_point_v<T>) {
        double number = 0;
        HRESULT hr = value.ToDouble(number);
        if (SUCCEEDED(hr))
            out = static_cast<T>(number);
        return hr;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return value.ToString(out);
    } else if constexpr (std::is_same_v<T, Date>) {
        return value.ToDate(out);
    } else if constexpr (std::is_same_v<T, Variant>) {
        out = value;
        return S_OK;
    } else if constexpr (std::is_same_v<T, std::vector<Variant>>) {
        auto array = value.Get<VariantArray>();
        if (!array)
            return DISP_E_TYPEMISMATCH;
        out = array->elements;
        return S_OK;
    } else if constexpr (SharedPtr<T>::value) {
        UnknownPtr object;
        HRESULT hr = value.ToObject(object);
        if (FAILED(hr))
            return hr;
        out = std::dynamic_pointer_cast<typename SharedPtr<T>::Element>(object);
        return object && !out ? DISP_E_TYPEMISMATCH : S_OK;
    } else {
        static_assert(kUnsupported<T>, "no conversion for this parameter");
    }
}

// A member's output as the result of Invoke: enumerations as their number, objects as IUnknown.
template <typename T> Variant ToVariant(T value)
{
    if constexpr (std::is_same_v<T, bool>)
        return Variant::FromBool(value);
    else if constexpr (std::is_enum_v<T>)
        return Variant(static_cast<std::int32_t>(value));
    else if constexpr (SharedPtr<T>::value)
        return Variant(UnknownPtr(std::move(value)));
    else
        return Variant(std::move(value));
}

template <typename... A> struct TypeList {
};

// The parameters of a bound member after the object: of a member function pointer, or of a
// callable taking the object first.
template <typename F> struct MemberArgs;
template <typename C, typename... A> struct MemberArgs<HRESULT (C::*)(A...)> {
    using Type = TypeList<A...>;
};
template <typename C, typename... A> struct MemberArgs<HRESULT (C::*)(A...) const> {
    using Type = TypeList<A...>;
};
template <typename F> struct CallableArgs;
template <typename L, typename O, typename... A>
struct CallableArgs<HRESULT (L::*)(O&, A...) const> {
    using Type = TypeList<A...>;
};
template <typename L, typename O, typename... A> struct CallableArgs<HRESULT (L::*)(O&, A...)> {
    using Type = TypeList<A...>;
};

template <typename Fn> auto ArgsOf()
{
    if constexpr (std::is_member_function_pointer_v<Fn>)
        return typename MemberArgs<Fn>::Type{};
    else
        return typename CallableArgs<decltype(&Fn::operator())>::Type{};
}

template <typename T>
using Call = std::function<HRESULT(T&, const MemberDesc&, std::vector<Variant>&, Variant&)>;

// The call of one member: converts the arguments (defaults for the left-out ones), calls, and
// turns the output into the result.
template <typename T, typename Fn, typename... A> struct Binding {
    static constexpr std::size_t kCount = sizeof...(A);
    static constexpr bool kHasOutput = LastIsOutput<A...>();
    static constexpr std::size_t kInputs = kHasOutput ? kCount - 1 : kCount;
    using Values = std::tuple<Stored<A>...>;

    static std::vector<VARTYPE> InputTypes()
    {
        return InputTypes(std::make_index_sequence<kInputs>());
    }
    template <std::size_t... I> static std::vector<VARTYPE> InputTypes(std::index_sequence<I...>)
    {
        return {VarTypeOf<std::tuple_element_t<I, Values>>()...};
    }

    static VARTYPE ResultType()
    {
        if constexpr (kHasOutput)
            return VarTypeOf<std::tuple_element_t<kCount - 1, Values>>();
        else
            return VT_EMPTY;
    }

    static Call<T> Make(Fn fn)
    {
        return [fn = std::move(fn)](T& object, const MemberDesc& member, std::vector<Variant>& args,
                                    Variant& result) {
            Values values;
            HRESULT hr = Convert(member, args, values, std::make_index_sequence<kInputs>());
            if (FAILED(hr))
                return hr;
            hr = std::apply([&](auto&... value) { return std::invoke(fn, object, value...); },
                            values);
            if (FAILED(hr))
                return hr;
            if constexpr (kHasOutput)
                result = ToVariant(std::move(std::get<kCount - 1>(values)));
            else
                result = Variant();
            return hr;
        };
    }

    template <std::size_t... I>
    static HRESULT Convert([[maybe_unused]] const MemberDesc& member,
                           [[maybe_unused]] const std::vector<Variant>& args, Values& values,
                           std::index_sequence<I...>)
    {
        HRESULT hr = S_OK;
        (void)(SUCCEEDED(hr = ConvertOne(member.params[I], I, args, std::get<I>(values))) && ...);
        return hr;
    }

    template <typename V>
    static HRESULT ConvertOne(const ParamDesc& param, std::size_t index,
                              const std::vector<Variant>& args, V& out)
    {
        const bool given = index < args.size() && !args[index].IsMissing();
        if (!given && !param.optional)
            return DISP_E_PARAMNOTFOUND;
        return FromVariant(given ? args[index] : param.default_value, out);
    }
};

template <typename T, typename Fn, typename... A> Binding<T, Fn, A...> BindingOf(TypeList<A...>);

} // namespace dispatch_detail

// A parameter's name for DispatchBuilder; with a default it is optional.
struct Arg {
    Arg(const char* arg_name) : name(arg_name) {}
    Arg(std::string arg_name, Variant value)
        : name(std::move(arg_name)), default_value(std::move(value))
    {
    }

    std::string name;
    std::optional<Variant> default_value;
};

template <typename T> class DispatchBuilder;

// A class's table with each member bound to its code; one per class, shared by its objects.
template <typename T> class Dispatcher {
public:
    const DispatchTable& table() const { return table_; }

    HRESULT Invoke(T& object, DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                   Variant& result) const
    {
        const MemberDesc* member = table_.Find(dispid, kind);
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        HRESULT hr = CheckParamCount(*member, args.size());
        if (FAILED(hr))
            return hr;
        try {
            return calls_[static_cast<std::size_t>(member - table_.members().data())](
                object, *member, args, result);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception&) {
            return E_UNEXPECTED;
        }
    }

private:
    friend class DispatchBuilder<T>;
    explicit Dispatcher(std::string interface_name) : table_(std::move(interface_name)) {}

    DispatchTable table_;
    std::vector<dispatch_detail::Call<T>> calls_; // parallel to table_.members()
};

// Builds a class's Dispatcher, one line a member:
//
//     static const auto dispatcher = DispatchBuilder<CPlayer>("IPlayer")
//         .Property("Volume", 3, &CPlayer::get_Volume, &CPlayer::put_Volume)
//         .Get("Name", 1, &CPlayer::get_Name)
//         .Method("Sketch", 5, &CPlayer::Sketch, {"Text", Arg("Row", 0)})
//         .Build();
//
// A member is a member function or a callable taking the object first, returning HRESULT. Its
// last parameter is the [out, retval] when it is a non-const reference (a get must have one, a
// put must not). Names are given for the inputs in order; a put's new value is named "Value"
// and left out of the names; an Arg with a default makes that parameter optional.
template <typename T> class DispatchBuilder {
public:
    explicit DispatchBuilder(std::string interface_name) : dispatcher_(std::move(interface_name)) {}

    template <typename Fn>
    DispatchBuilder& Get(std::string name, DISPID dispid, Fn fn, std::vector<Arg> args = {})
    {
        return Add<MemberKind::PropertyGet>(std::move(name), dispid, std::move(fn),
                                            std::move(args));
    }

    template <typename Fn>
    DispatchBuilder& Put(std::string name, DISPID dispid, Fn fn, std::vector<Arg> args = {})
    {
        args.emplace_back("Value");
        return Add<MemberKind::PropertyPut>(std::move(name), dispid, std::move(fn),
                                            std::move(args));
    }

    template <typename GetFn, typename PutFn>
    DispatchBuilder& Property(const std::string& name, DISPID dispid, GetFn get, PutFn put)
    {
        Get(name, dispid, std::move(get));
        return Put(name, dispid, std::move(put));
    }

    template <typename Fn>
    DispatchBuilder& Method(std::string name, DISPID dispid, Fn fn, std::vector<Arg> args = {})
    {
        return Add<MemberKind::Method>(std::move(name), dispid, std::move(fn), std::move(args));
    }

    Dispatcher<T> Build() { return std::move(dispatcher_); }

private:
    template <MemberKind kKind, typename Fn>
    DispatchBuilder& Add(std::string name, DISPID dispid, Fn fn, std::vector<Arg> args)
    {
        using Bound = decltype(dispatch_detail::BindingOf<T, Fn>(dispatch_detail::ArgsOf<Fn>()));
        static_assert(kKind != MemberKind::PropertyGet || Bound::kHasOutput,
                      "a property get needs an output parameter");
        static_assert(kKind != MemberKind::PropertyPut || !Bound::kHasOutput,
                      "a property put has no output parameter");
        const std::vector<VARTYPE> types = Bound::InputTypes();
        if (args.size() != types.size())
            throw std::logic_error(name + ": parameter names do not match the parameters");

        MemberDesc member{std::move(name), dispid, kKind, {}, Bound::ResultType()};
        for (std::size_t i = 0; i < args.size(); ++i) {
            auto& arg = args[i];
            if (!arg.default_value && !member.params.empty() && member.params.back().optional)
                throw std::logic_error(member.name +
                                       ": a required parameter after an optional one");
            member.params.push_back(ParamDesc{std::move(arg.name), types[i],
                                              arg.default_value.has_value(),
                                              arg.default_value.value_or(Variant())});
        }
        dispatcher_.table_.Add(std::move(member));
        dispatcher_.calls_.push_back(Bound::Make(std::move(fn)));
        return *this;
    }

    Dispatcher<T> dispatcher_;
};

// The IDispatchable members of a class T with a static `const Dispatcher<T>& Dispatch()`;
// Interface is the dual interface T implements (IDispatchable itself when it has none).
template <typename T, typename Interface = IDispatchable> class DispatchImpl : public Interface {
public:
    const DispatchTable& Table() const override { return T::Dispatch().table(); }

    HRESULT Invoke(DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                   Variant& result) override
    {
        return T::Dispatch().Invoke(static_cast<T&>(*this), dispid, kind, args, result);
    }
};

} // namespace velk
