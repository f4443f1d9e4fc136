#include "automation/json_value.h"

#include "automation/base64.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace velk {

namespace {

using nlohmann::json;

// A picture sent by value stays small: a player's screen is a few hundred pixels wide.
constexpr std::size_t kMaxPictureBytes = 4 * 1024 * 1024;
constexpr std::int64_t kMaxPicturePixels = 2048 * 2048;
// Where a BMP file keeps the width and height of its info header.
constexpr std::size_t kBmpWidthOffset = 18;
constexpr std::size_t kBmpHeightOffset = 22;

std::int32_t ReadInt32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

json DateToJson(Date date)
{
    // The text form only when it gives back exactly this date.
    const auto time = date.ToCalendar();
    if (time && time->millisecond == 0) {
        const auto back = Date::FromCalendar(*time);
        if (back && back->value() == date.value()) {
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time->year,
                          time->month, time->day, time->hour, time->minute, time->second);
            return json{{"date", text}};
        }
    }
    return json{{"date", date.value()}};
}

// "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD".
std::optional<Date> ParseDateText(std::string_view text)
{
    const auto fields = ParseCalendarText(text);
    return fields ? Date::FromCalendar(*fields) : std::nullopt;
}

class JsonReader {
public:
    JsonReader(const ObjectFromJson& objects, std::string& problem)
        : objects_(objects), problem_(problem)
    {
    }

    HRESULT Read(const json& value, Variant& out, std::size_t depth)
    {
        if (depth > kMaxJsonDepth)
            return Fail(DISP_E_TYPEMISMATCH, "values nest too deep");
        switch (value.type()) {
        case json::value_t::null:
            out = Variant();
            return S_OK;
        case json::value_t::boolean:
            out = Variant::FromBool(value.get<bool>());
            return S_OK;
        case json::value_t::number_integer:
            return ReadInteger(value.get<std::int64_t>(), out);
        case json::value_t::number_unsigned: {
            const auto number = value.get<std::uint64_t>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return Fail(DISP_E_OVERFLOW, "integer out of range");
            return ReadInteger(static_cast<std::int64_t>(number), out);
        }
        case json::value_t::number_float: {
            const double number = value.get<double>();
            if (!std::isfinite(number))
                return Fail(DISP_E_OVERFLOW, "number out of range");
            out = Variant(number);
            return S_OK;
        }
        case json::value_t::string:
            out = Variant(value.get<std::string>());
            return S_OK;
        case json::value_t::array: {
            std::vector<Variant> elements;
            HRESULT hr = ReadElements(value, elements, depth);
            if (SUCCEEDED(hr))
                out = Variant(std::move(elements));
            return hr;
        }
        case json::value_t::object:
            return ReadTagged(value, out, depth);
        default:
            return Fail(DISP_E_TYPEMISMATCH, "not a value");
        }
    }

private:
    HRESULT Fail(HRESULT hr, std::string problem)
    {
        problem_ = std::move(problem);
        return hr;
    }

    static HRESULT ReadInteger(std::int64_t number, Variant& out)
    {
        if (std::in_range<std::int32_t>(number))
            out = Variant(static_cast<std::int32_t>(number));
        else
            out = Variant(number);
        return S_OK;
    }

    HRESULT ReadElements(const json& array, std::vector<Variant>& elements, std::size_t depth)
    {
        elements.reserve(array.size());
        for (const auto& element : array) {
            Variant item;
            HRESULT hr = Read(element, item, depth + 1);
            if (FAILED(hr))
                return hr;
            elements.push_back(std::move(item));
        }
        return S_OK;
    }

    // The objects with one meaning each: {"object"} (with "interface" beside it when a server
    // sends it), {"picture"}, {"date"}, {"missing"}, {"error"}, {"extents", "elements"}.
    HRESULT ReadTagged(const json& value, Variant& out, std::size_t depth)
    {
        if (const auto object = value.find("object"); object != value.end()) {
            if (value.size() > 2 || (value.size() == 2 && !value.contains("interface")))
                return Fail(DISP_E_TYPEMISMATCH, "malformed object: " + JsonText(value));
            if (object->is_null()) {
                out = Variant(UnknownPtr());
                return S_OK;
            }
            return ReadObject(value, out);
        }
        if (value.size() == 1) {
            const auto first = value.begin();
            const std::string& key = first.key();
            const json& item = first.value();
            if (key == "picture")
                return ReadObject(value, out);
            if (key == "date")
                return ReadDate(item, out);
            if (key == "missing" && item == true) {
                out = Variant::Missing();
                return S_OK;
            }
            if (key == "error" && item.is_number_integer() &&
                std::in_range<std::int32_t>(item.get<std::int64_t>())) {
                out = Variant(Variant::Error{static_cast<HRESULT>(item.get<std::int64_t>())});
                return S_OK;
            }
        }
        const auto extents = value.find("extents");
        const auto elements = value.find("elements");
        if (value.size() == 2 && extents != value.end() && elements != value.end())
            return ReadArray(*extents, *elements, out, depth);
        return Fail(DISP_E_TYPEMISMATCH, "unknown kind of value: " + JsonText(value));
    }

    HRESULT ReadDate(const json& item, Variant& out)
    {
        std::optional<Date> date;
        if (item.is_string())
            date = ParseDateText(item.get_ref<const std::string&>());
        else if (item.is_number())
            date = Date(item.get<double>());
        if (!date || !date->IsValid())
            return Fail(DISP_E_OVERFLOW, "not a date: " + JsonText(item));
        out = Variant(*date);
        return S_OK;
    }

    HRESULT ReadObject(const json& value, Variant& out)
    {
        if (!objects_)
            return Fail(DISP_E_TYPEMISMATCH, "no objects here");
        UnknownPtr object;
        HRESULT hr = objects_(value, object, problem_);
        if (SUCCEEDED(hr))
            out = Variant(std::move(object));
        return hr;
    }

    HRESULT ReadArray(const json& extents, const json& elements, Variant& out, std::size_t depth)
    {
        if (!extents.is_array() || extents.empty() || !elements.is_array())
            return Fail(DISP_E_TYPEMISMATCH, "malformed array");
        VariantArray array;
        std::size_t count = 1;
        for (const auto& extent : extents) {
            if (!extent.is_number_unsigned())
                return Fail(DISP_E_TYPEMISMATCH, "malformed array extent");
            const auto size = extent.get<std::uint64_t>();
            if (size > elements.size() || (size != 0 && count > elements.size() / size))
                return Fail(DISP_E_TYPEMISMATCH, "array extents do not match its elements");
            count *= static_cast<std::size_t>(size);
            array.extents.push_back(static_cast<std::size_t>(size));
        }
        if (count != elements.size())
            return Fail(DISP_E_TYPEMISMATCH, "array extents do not match its elements");
        HRESULT hr = ReadElements(elements, array.elements, depth);
        if (SUCCEEDED(hr))
            out = Variant(std::move(array));
        return hr;
    }

    const ObjectFromJson& objects_;
    std::string& problem_;
};

} // namespace

HRESULT VariantToJson(const Variant& value, const ObjectToJson& objects, json& out)
{
    if (value.IsEmpty() || value.Get<Variant::Null>()) {
        out = nullptr;
    } else if (auto flag = value.Get<Variant::Bool>()) {
        out = flag->value;
    } else if (auto text = value.Get<std::string>()) {
        out = *text;
    } else if (auto date = value.Get<Date>()) {
        if (!std::isfinite(date->value()))
            return DISP_E_OVERFLOW;
        out = DateToJson(*date);
    } else if (auto object = value.Get<UnknownPtr>()) {
        if (!*object) {
            out = json{{"object", nullptr}};
            return S_OK;
        }
        if (!objects)
            return DISP_E_TYPEMISMATCH;
        return objects(*object, out);
    } else if (auto array = value.Get<VariantArray>()) {
        json elements = json::array();
        for (const auto& element : array->elements) {
            json item;
            HRESULT hr = VariantToJson(element, objects, item);
            if (FAILED(hr))
                return hr;
            elements.push_back(std::move(item));
        }
        if (array->dimensions() == 1)
            out = std::move(elements);
        else
            out = json{{"extents", array->extents}, {"elements", std::move(elements)}};
    } else if (auto error = value.Get<Variant::Error>()) {
        out = value.IsMissing() ? json{{"missing", true}} : json{{"error", error->code}};
    } else if (auto unsigned64 = value.Get<std::uint64_t>()) {
        if (*unsigned64 > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return DISP_E_OVERFLOW;
        out = static_cast<std::int64_t>(*unsigned64);
    } else if (value.vt() == VT_R4 || value.vt() == VT_R8) {
        double number = 0;
        value.ToDouble(number);
        if (!std::isfinite(number))
            return DISP_E_OVERFLOW;
        out = number;
    } else {
        // The remaining types are the integers up to 64 bits signed.
        std::int64_t number = 0;
        HRESULT hr = value.ToInt64(number);
        if (FAILED(hr))
            return hr;
        out = number;
    }
    return S_OK;
}

HRESULT JsonToVariant(const json& value, const ObjectFromJson& objects, Variant& out,
                      std::string& problem)
{
    return JsonReader(objects, problem).Read(value, out, 0);
}

HRESULT PictureToJson(IPicture& picture, json& out)
{
    Bitmap bitmap;
    HRESULT hr = picture.GetBitmap(bitmap);
    if (FAILED(hr))
        return hr;
    out = json{{"picture", Base64Encode(bitmap.ToBmpFile())}};
    return S_OK;
}

HRESULT PictureFromJson(const json& value, UnknownPtr& picture, std::string& problem)
{
    const auto it = value.find("picture");
    if (it == value.end() || !it->is_string()) {
        problem = "malformed picture";
        return DISP_E_TYPEMISMATCH;
    }
    const auto& text = it->get_ref<const std::string&>();
    if (text.size() / 4 * 3 > kMaxPictureBytes) {
        problem = "picture too large";
        return DISP_E_OVERFLOW;
    }
    const auto bytes = Base64Decode(text);
    if (!bytes) {
        problem = "picture is not base64";
        return DISP_E_TYPEMISMATCH;
    }
    // Bound the pixels before they are made: a small file can claim a large picture.
    if (bytes->size() >= kBmpHeightOffset + 4) {
        const std::int64_t width = ReadInt32(*bytes, kBmpWidthOffset);
        const std::int64_t height = ReadInt32(*bytes, kBmpHeightOffset);
        if (std::abs(width) * std::abs(height) > kMaxPicturePixels) {
            problem = "picture too large";
            return DISP_E_OVERFLOW;
        }
    }
    Bitmap bitmap;
    if (FAILED(Bitmap::ReadBmp(*bytes, bitmap))) {
        problem = "picture is not a BMP file";
        return DISP_E_TYPEMISMATCH;
    }
    picture = std::make_shared<CPicture>(std::move(bitmap));
    return S_OK;
}

std::string JsonText(const json& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

const char* MemberKindName(MemberKind kind)
{
    switch (kind) {
    case MemberKind::PropertyGet:
        return "get";
    case MemberKind::PropertyPut:
        return "put";
    case MemberKind::Method:
        break;
    }
    return "method";
}

std::optional<MemberKind> MemberKindFromJson(const nlohmann::json& value)
{
    for (MemberKind kind : {MemberKind::PropertyGet, MemberKind::PropertyPut, MemberKind::Method}) {
        if (value == MemberKindName(kind))
            return kind;
    }
    return std::nullopt;
}

} // namespace velk
