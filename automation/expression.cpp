#include "automation/expression.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <new>

#include "automation/picture.h"

namespace velk {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c)
{
    return IsNameStart(c) || IsDigit(c);
}

// Recursive descent over the text, one position; the first error stops it.
class Parser {
public:
    Parser(std::string_view text, const EnumRegistry& enums, ExpressionResult& error)
        : text_(text), enums_(enums), error_(error)
    {
    }

    std::optional<Expression> Parse()
    {
        Expression expression;
        do {
            auto step = ParseStep();
            if (!step)
                return std::nullopt;
            expression.chain.push_back(std::move(*step));
        } while (Accept('.'));
        if (Accept('=')) {
            expression.assigned = ParseValue();
            if (!expression.assigned)
                return std::nullopt;
        }
        SkipBlanks();
        if (pos_ < text_.size())
            return Fail(Quoted("unexpected ", text_[pos_]));
        return expression;
    }

private:
    std::optional<ExpressionStep> ParseStep()
    {
        SkipBlanks();
        ExpressionStep step;
        step.column = Column();
        step.name = ParseName();
        if (step.name.empty())
            return Fail("expected a member name");
        if (!Accept('('))
            return step;
        if (Accept(')'))
            return step;
        do {
            auto value = ParseValue();
            if (!value)
                return std::nullopt;
            step.args.push_back(std::move(*value));
        } while (Accept(','));
        if (!Accept(')'))
            return Fail("expected ',' or ')'");
        return step;
    }

    std::optional<ExpressionValue> ParseValue()
    {
        SkipBlanks();
        const std::size_t column = Column();
        const char c = Peek();
        std::optional<ExpressionValue> value;
        if (c == '"')
            value = Literal(ParseString());
        else if (c == '#')
            value = Literal(ParseDate());
        else if (c == '-' || IsDigit(c))
            value = Literal(ParseNumber());
        else if (IsNameStart(c))
            value = ParseWord();
        else
            return Fail("expected a value");
        if (value)
            value->column = column;
        return value;
    }

    static std::optional<ExpressionValue> Literal(std::optional<Variant> literal)
    {
        if (!literal)
            return std::nullopt;
        return ExpressionValue{std::move(*literal), std::nullopt, 0};
    }

    std::optional<Variant> ParseString()
    {
        const std::size_t start = Column();
        std::string text;
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\\'))
                    return Fail("only \\\" and \\\\ may follow a backslash");
                c = text_[pos_++];
            }
            text.push_back(c);
        }
        if (pos_ >= text_.size())
            return FailAt(start, "string without its closing quote");
        ++pos_;
        return Variant(std::move(text));
    }

    // #YYYY-MM-DD HH:MM:SS#
    std::optional<Variant> ParseDate()
    {
        static constexpr std::size_t kLength = std::string_view("#0000-00-00 00:00:00#").size();
        const std::string_view text = text_.substr(pos_, kLength);
        const auto fields = text.size() == kLength && text.back() == '#'
                                ? ParseCalendarText(text.substr(1, kLength - 2))
                                : std::nullopt;
        if (!fields)
            return Fail("expected a date as #YYYY-MM-DD HH:MM:SS#");
        auto date = Date::FromCalendar(*fields);
        if (!date)
            return Fail("no such date or time");
        pos_ += kLength;
        return Variant(*date);
    }

    // A REAL has a dot with digits on both sides; an INTEGER that does not fit 32 bits is held
    // in 64.
    std::optional<Variant> ParseNumber()
    {
        const std::size_t begin = pos_;
        if (Peek() == '-')
            ++pos_;
        const std::size_t digits = SkipDigits();
        bool real = false;
        if (digits > 0 && Peek() == '.') {
            ++pos_;
            if (SkipDigits() == 0)
                return Fail("expected digits after '.'");
            real = true;
        }
        if (digits == 0 || IsNameChar(Peek()) || Peek() == '.')
            return Fail("malformed number");
        const char* first = text_.data() + begin;
        const char* last = text_.data() + pos_;
        if (real) {
            double value = 0;
            auto [end, error] = std::from_chars(first, last, value);
            if (error != std::errc() || end != last)
                return FailAt(begin + 1, "number out of range");
            return Variant(value);
        }
        std::int64_t value = 0;
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last)
            return FailAt(begin + 1, "number out of range");
        if (std::in_range<std::int32_t>(value))
            return Variant(static_cast<std::int32_t>(value));
        return Variant(value);
    }

    // TRUE, FALSE, LoadPicture("...") or enumeration members joined by '|'.
    std::optional<ExpressionValue> ParseWord()
    {
        std::size_t column = Column();
        const std::string word = ParseName();
        if (EqualsIgnoringCase(word, "TRUE") || EqualsIgnoringCase(word, "FALSE"))
            return Literal(Variant::FromBool(EqualsIgnoringCase(word, "TRUE")));
        if (EqualsIgnoringCase(word, "LoadPicture")) {
            if (!Accept('('))
                return Fail("expected '('");
            SkipBlanks();
            if (Peek() != '"')
                return Fail("expected the picture's file name as a string");
            auto file = ParseString();
            if (!file)
                return std::nullopt;
            if (!Accept(')'))
                return Fail("expected ')'");
            return ExpressionValue{Variant(), *file->Get<std::string>(), 0};
        }
        std::int32_t combined = 0;
        std::string name = word;
        for (;;) {
            if (name.empty())
                return FailAt(column, "expected an enumeration name");
            auto member = enums_.Find(name);
            if (!member) {
                error_.hr = DISP_E_UNKNOWNNAME;
                return FailAt(column, name);
            }
            combined |= *member;
            if (!Accept('|'))
                break;
            SkipBlanks();
            column = Column();
            name = ParseName();
        }
        return Literal(Variant(combined));
    }

    std::string ParseName()
    {
        const std::size_t begin = pos_;
        if (IsNameStart(Peek())) {
            while (IsNameChar(Peek()))
                ++pos_;
        }
        return std::string(text_.substr(begin, pos_ - begin));
    }

    std::size_t SkipDigits()
    {
        const std::size_t begin = pos_;
        while (IsDigit(Peek()))
            ++pos_;
        return pos_ - begin;
    }

    void SkipBlanks()
    {
        while (Peek() == ' ' || Peek() == '\t')
            ++pos_;
    }

    bool Accept(char c)
    {
        SkipBlanks();
        if (Peek() != c)
            return false;
        ++pos_;
        return true;
    }

    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    std::size_t Column() const { return pos_ + 1; }

    static std::string Quoted(std::string_view what, char c)
    {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
            return std::string(what) + "byte " + hex;
        }
        return std::string(what) + "'" + c + "'";
    }

    std::nullopt_t Fail(std::string detail) { return FailAt(Column(), std::move(detail)); }

    std::nullopt_t FailAt(std::size_t column, std::string detail)
    {
        error_.status = ExpressionResult::Status::BadExpression;
        error_.column = column;
        error_.detail = std::move(detail);
        return std::nullopt;
    }

    std::string_view text_;
    const EnumRegistry& enums_;
    ExpressionResult& error_;
    std::size_t pos_ = 0;
};

ExpressionResult Bad(HRESULT hr, std::size_t column, std::string detail)
{
    ExpressionResult result;
    result.status = ExpressionResult::Status::BadExpression;
    result.hr = hr;
    result.column = column;
    result.detail = std::move(detail);
    return result;
}

ExpressionResult Failed(HRESULT hr)
{
    ExpressionResult result;
    result.status = ExpressionResult::Status::Failed;
    result.hr = hr;
    return result;
}

HRESULT ValueOf(const ExpressionValue& value, Variant& out)
{
    if (!value.picture_file) {
        out = value.literal;
        return S_OK;
    }
    std::shared_ptr<IPicture> picture;
    HRESULT hr = CPicture::Load(*value.picture_file, picture);
    if (SUCCEEDED(hr))
        out = Variant(UnknownPtr(std::move(picture)));
    return hr;
}

// The member a step names, in the kind the step uses it; a bad expression when there is none.
std::optional<ExpressionResult> Resolve(const DispatchTable& table, const ExpressionStep& step,
                                        bool assigning, const MemberDesc*& member, MemberKind& kind)
{
    const MemberDesc* method = table.Find(step.name, MemberKind::Method);
    const MemberDesc* get = table.Find(step.name, MemberKind::PropertyGet);
    const MemberDesc* put = table.Find(step.name, MemberKind::PropertyPut);
    if (!method && !get && !put)
        return Bad(DISP_E_UNKNOWNNAME, step.column, step.name);
    if (method && !assigning) {
        kind = MemberKind::Method;
        member = method;
    } else if (assigning && put) {
        kind = MemberKind::PropertyPut;
        member = put;
    } else if (!assigning && get) {
        kind = MemberKind::PropertyGet;
        member = get;
    } else {
        return Bad(DISP_E_MEMBERNOTFOUND, step.column, step.name);
    }
    return std::nullopt;
}

ExpressionResult Evaluate(const Expression& expression, const DispatchablePtr& root)
{
    // Pictures are read before any member runs, so that a missing file changes nothing.
    std::vector<std::vector<Variant>> step_args;
    for (const auto& step : expression.chain) {
        auto& args = step_args.emplace_back();
        for (const auto& value : step.args) {
            HRESULT hr = ValueOf(value, args.emplace_back());
            if (FAILED(hr))
                return Failed(hr);
        }
    }
    if (expression.assigned) {
        HRESULT hr = ValueOf(*expression.assigned, step_args.back().emplace_back());
        if (FAILED(hr))
            return Failed(hr);
    }

    DispatchablePtr target = root;
    if (!target)
        return Failed(E_POINTER);
    for (std::size_t i = 0; i < expression.chain.size(); ++i) {
        const ExpressionStep& step = expression.chain[i];
        const bool last = i + 1 == expression.chain.size();
        const bool assigning = last && expression.assigned;
        const MemberDesc* member = nullptr;
        MemberKind kind = MemberKind::Method;
        if (auto bad = Resolve(target->Table(), step, assigning, member, kind))
            return *bad;
        std::vector<Variant>& args = step_args[i];
        if (FAILED(CheckParamCount(*member, args.size())))
            return Bad(DISP_E_BADPARAMCOUNT, step.column, step.name);

        Variant result;
        HRESULT hr = target->Invoke(member->dispid, kind, args, result);
        if (FAILED(hr))
            return Failed(hr);
        if (last) {
            ExpressionResult done;
            if (!assigning && member->result != VT_EMPTY) {
                done.status = ExpressionResult::Status::Value;
                done.value = std::move(result);
            }
            done.hr = hr;
            return done;
        }

        UnknownPtr object;
        if (FAILED(result.ToObject(object)))
            return Bad(DISP_E_TYPEMISMATCH, step.column, step.name + " is not an object");
        if (!object)
            return Failed(E_POINTER);
        target = std::dynamic_pointer_cast<IDispatchable>(object);
        if (!target)
            return Bad(E_NOINTERFACE, step.column, step.name + " has no members");
    }
    return Failed(E_UNEXPECTED); // a parsed expression has at least one step
}

std::string FormatDate(Date date)
{
    auto t = date.ToCalendar();
    if (!t) {
        std::string text;
        Variant(date.value()).ToString(text);
        return text;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
    return text;
}

std::string FormatObject(const UnknownPtr& object)
{
    if (!object)
        return "Nothing";
    auto dispatchable = std::dynamic_pointer_cast<IDispatchable>(object);
    return "[object " + (dispatchable ? dispatchable->Table().interface_name() : "IUnknown") + "]";
}

} // namespace

int ExpressionResult::ExitStatus() const
{
    switch (status) {
    case Status::Failed:
        return 1;
    case Status::BadExpression:
        return 2;
    default:
        return 0;
    }
}

std::optional<Expression> ParseExpression(std::string_view text, const EnumRegistry& enums,
                                          ExpressionResult& error)
{
    error = ExpressionResult();
    try {
        return Parser(text, enums, error).Parse();
    } catch (const std::bad_alloc&) {
        error = Failed(E_OUTOFMEMORY);
        return std::nullopt;
    }
}

ExpressionResult EvaluateExpression(const Expression& expression, const DispatchablePtr& root)
{
    try {
        return Evaluate(expression, root);
    } catch (const std::bad_alloc&) {
        return Failed(E_OUTOFMEMORY);
    }
}

ExpressionResult EvaluateExpression(std::string_view text, const DispatchablePtr& root,
                                    const EnumRegistry& enums)
{
    ExpressionResult error;
    auto expression = ParseExpression(text, enums, error);
    if (!expression)
        return error;
    return EvaluateExpression(*expression, root);
}

std::string FormatValue(const Variant& value)
{
    if (auto b = value.Get<Variant::Bool>())
        return b->value ? "TRUE" : "FALSE";
    if (auto date = value.Get<Date>())
        return FormatDate(*date);
    if (auto object = value.Get<UnknownPtr>())
        return FormatObject(*object);
    if (auto array = value.Get<VariantArray>()) {
        std::string text;
        for (const auto& element : array->elements) {
            if (&element != &array->elements.front())
                text += ' ';
            text += FormatValue(element);
        }
        return text;
    }
    if (value.Get<Variant::Null>())
        return "Null";
    if (auto error = value.Get<Variant::Error>())
        return FormatFailure(error->code);
    std::string text;
    value.ToString(text);
    return text;
}

std::string FormatFailure(HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(code) + " " + HResultMessage(hr);
}

std::string FormatResult(const ExpressionResult& result)
{
    switch (result.status) {
    case ExpressionResult::Status::Value:
        return FormatValue(result.value);
    case ExpressionResult::Status::Nothing:
        return {};
    case ExpressionResult::Status::Failed:
        return FormatFailure(result.hr);
    case ExpressionResult::Status::BadExpression:
        break;
    }
    const std::string where = " at column " + std::to_string(result.column);
    if (result.hr == S_OK)
        return "syntax error" + where + ": " + result.detail;
    return FormatFailure(result.hr) + " (" + result.detail + where + ")";
}

} // namespace velk
