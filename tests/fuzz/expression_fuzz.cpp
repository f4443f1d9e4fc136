// velkctl's expressions come from the user's command line and scripts: any text must parse to
// an expression or a bad-expression report pointing inside the text, and evaluating what parses
// must give a result, never a crash.
#include <cstdint>
#include <string_view>

#include "automation/expression.h"

namespace {

using velk::HRESULT;

// A small object to evaluate against: a property, an indexed get, a method with optional
// arguments, and itself as a child so that chains of any length resolve.
class CFuzzObject : public velk::DispatchImpl<CFuzzObject> {
public:
    static const velk::Dispatcher<CFuzzObject>& Dispatch()
    {
        using T = CFuzzObject;
        static const auto dispatcher = velk::DispatchBuilder<T>("IFuzzObject")
                                           .Property("Value", 1, &T::get_Value, &T::put_Value)
                                           .Get("Item", 2, &T::get_Item, {"Index"})
                                           .Get("Self", 3, &T::get_Self)
                                           .Method("Call", 4, &T::Call,
                                                   {"Text", velk::Arg("Count", 1),
                                                    velk::Arg("When", velk::Variant::Missing())})
                                           .Build();
        return dispatcher;
    }

    HRESULT get_Value(velk::Variant& value)
    {
        value = value_;
        return velk::S_OK;
    }
    HRESULT put_Value(const velk::Variant& value)
    {
        value_ = value;
        return velk::S_OK;
    }
    HRESULT get_Item(std::int32_t index, std::string& item)
    {
        if (index < 0 || index > 3)
            return velk::E_INVALIDARG;
        item = std::to_string(index);
        return velk::S_OK;
    }
    HRESULT get_Self(std::shared_ptr<CFuzzObject>& self)
    {
        self = std::make_shared<CFuzzObject>();
        return velk::S_OK;
    }
    HRESULT Call(const std::string& text, std::uint32_t count, const velk::Variant& when,
                 std::string& result)
    {
        result = text.substr(0, count) + (when.IsMissing() ? "" : "!");
        return velk::S_OK;
    }

private:
    velk::Variant value_;
};

bool ReadsFiles(const velk::Expression& expression)
{
    if (expression.assigned && expression.assigned->picture_file)
        return true;
    for (const auto& step : expression.chain) {
        for (const auto& arg : step.args) {
            if (arg.picture_file)
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velk::EnumRegistry enums;
    static const HRESULT registered =
        enums.Register("FuzzMode", {{"ModeA", 1}, {"ModeB", 2}, {"ModeC", 4}});
    (void)registered;

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    velk::ExpressionResult error;
    auto expression = velk::ParseExpression(text, enums, error);
    if (!expression) {
        if (error.ExitStatus() != 2 || error.column < 1 || error.column > size + 1)
            __builtin_trap();
        (void)velk::FormatResult(error);
        return 0;
    }
    if (expression->chain.empty())
        __builtin_trap();
    // Picture file names come from the input: reading whatever they name is not the parser's
    // business (and a FIFO would block).
    if (ReadsFiles(*expression))
        return 0;
    const auto result = velk::EvaluateExpression(*expression, std::make_shared<CFuzzObject>());
    (void)velk::FormatResult(result);
    return 0;
}
