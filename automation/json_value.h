// Automation values as the automation server and its clients exchange them in JSON:
//
//     empty, null          null
//     booleans             true, false
//     integers             numbers (within the 64-bit signed range)
//     reals                numbers (finite)
//     strings              strings (UTF-8)
//     dates                {"date": "YYYY-MM-DD HH:MM:SS"}, or {"date": OLE date} when the value
//                          has a fraction of a second
//     arrays               [...]; an array of more than one dimension as
//                          {"extents": [...], "elements": [...]}, first index fastest
//     objects              {"object": handle}, {"object": null} for none, {"picture": BMP file
//                          in base64} for a picture sent by value
//     missing argument     {"missing": true}; another error value as {"error": code}
//
// Which handle stands for which object is the business of the side that converts: the server
// enters objects in a client session's table, the client wraps handles in remote objects. Plain
// functions, any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "automation/dispatch.h"

#include "automation/picture.h"
#include "platform/variant.h"

namespace velk {

// A member kind's word on the wire ("get", "put", "method"), and back; none for another word.
const char* MemberKindName(MemberKind kind);
std::optional<MemberKind> MemberKindFromJson(const nlohmann::json& value);

// An object as its JSON form; fails (DISP_E_TYPEMISMATCH) for an object the side cannot send.
using ObjectToJson = std::function<HRESULT(const UnknownPtr& object, nlohmann::json& out)>;
// value is {"object": handle} or {"picture": ...}; problem says what is wrong on failure.
using ObjectFromJson =
    std::function<HRESULT(const nlohmann::json& value, UnknownPtr& object, std::string& problem)>;

// Values nest at most this deep (arrays in arrays); deeper input is refused.
constexpr std::size_t kMaxJsonDepth = 32;

// DISP_E_OVERFLOW for a value JSON cannot carry (an integer beyond the signed 64-bit range, a
// real that is not finite); the objects' failures.
HRESULT VariantToJson(const Variant& value, const ObjectToJson& objects, nlohmann::json& out);

// DISP_E_TYPEMISMATCH for JSON that is no value of the list above, DISP_E_OVERFLOW for numbers
// out of range and dates outside the representable years; problem says what and where.
HRESULT JsonToVariant(const nlohmann::json& value, const ObjectFromJson& objects, Variant& out,
                      std::string& problem);

// A picture by value: {"picture": its pixels as a 32-bit BMP file in base64}.
HRESULT PictureToJson(IPicture& picture, nlohmann::json& out);
// A picture made from {"picture": ...}; DISP_E_TYPEMISMATCH for text that is no base64 BMP.
HRESULT PictureFromJson(const nlohmann::json& value, UnknownPtr& picture, std::string& problem);

// The compact text of a JSON document; bytes of strings that are not UTF-8 become U+FFFD.
std::string JsonText(const nlohmann::json& value);

} // namespace velk
