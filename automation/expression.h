// velkctl's expression language: one expression reads, sets or calls a member of an automation
// object, following a chain of objects from the one it starts at.
//
//     EXPR   := CHAIN [ "=" VALUE ]
//     CHAIN  := STEP { "." STEP }
//     STEP   := NAME [ "(" [ VALUE { "," VALUE } ] ")" ]
//     VALUE  := INTEGER | REAL | STRING | TRUE | FALSE | DATE | ENUM { "|" ENUM } | CALL
//     CALL   := LoadPicture "(" STRING ")"
//
// A NAME is a member of the object the step is applied to, spelt in any case. A property
// without parentheses is read; the last step followed by "= VALUE" is set; a method is called
// with its arguments, and trailing optional arguments may be left out. Each step's result is the
// object of the next step.
//
//     INTEGER   42, -7
//     REAL      0.5, -12.25
//     STRING    "text", with \" for a quote and \\ for a backslash
//     TRUE      TRUE or FALSE
//     DATE      #2024-05-01 18:30:00#
//     ENUM      an enumeration member of the type library (SketchText); A|B combines them
//     CALL      LoadPicture("logo.bmp") reads a BMP file as a picture object
//
// Examples:
//
//     Volume                       prints the volume
//     Volume = 40                  sets it, prints nothing
//     Sketch("Hello", 1)           calls a method, prints its result
//     Session.Status.Text          follows a chain of objects
//     Options = OptionShuffle|OptionRepeat
//
// What is printed: strings as they are, numbers in decimal, TRUE/FALSE, dates as
// YYYY-MM-DD HH:MM:SS, arrays as their elements separated by blanks, objects as
// [object INTERFACE]. A failure prints its code and message: 0x80004005 Unspecified error.
// velkctl exits with 0 on success, 1 when a member failed and 2 for a bad expression.
//
// Parsing and evaluation run on the caller's thread; objects are called there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/dispatch.h"
#include "automation/enum_registry.h"

namespace velk {

struct ExpressionValue {
    Variant literal;
    // Set for LoadPicture("..."): the file to read when the expression is evaluated.
    std::optional<std::string> picture_file;
    std::size_t column = 0;
};

struct ExpressionStep {
    std::string name;
    std::vector<ExpressionValue> args;
    std::size_t column = 0;
};

struct Expression {
    std::vector<ExpressionStep> chain;
    std::optional<ExpressionValue> assigned;
};

struct ExpressionResult {
    enum class Status { Value, Nothing, BadExpression, Failed };

    Status status = Status::Nothing;
    Variant value;
    // The failure; S_OK for a syntax error.
    HRESULT hr = S_OK;
    // Where a bad expression goes wrong: 1-based byte position in the text.
    std::size_t column = 0;
    // What is wrong with a bad expression (a syntax error, or the name concerned).
    std::string detail;

    // velkctl's exit status: 0 for a value or nothing, 1 for a failure, 2 for a bad expression.
    int ExitStatus() const;
};

// Parses text, resolving enumeration names with enums. On a syntax error or an unknown
// enumeration name: nothing, and error says what and where.
std::optional<Expression> ParseExpression(std::string_view text, const EnumRegistry& enums,
                                          ExpressionResult& error);

// Runs a parsed expression against root. Names unknown to an object, argument counts that do
// not fit, and members used in a way they do not allow are bad expressions; failures of the
// members (and of LoadPicture) are passed through.
ExpressionResult EvaluateExpression(const Expression& expression, const DispatchablePtr& root);

// Parses and runs in one.
ExpressionResult EvaluateExpression(std::string_view text, const DispatchablePtr& root,
                                    const EnumRegistry& enums = EnumRegistry::Global());

// A value as velkctl prints it.
std::string FormatValue(const Variant& value);

// "0x" with eight upper-case hex digits, a blank and the code's message.
std::string FormatFailure(HRESULT hr);

// The line velkctl prints for a result; empty for a put or a call without a result.
std::string FormatResult(const ExpressionResult& result);

} // namespace velk
