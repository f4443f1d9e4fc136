// Values in the automation server's requests (and its replies, for the client), read within the
// server's bounds: any bytes must give a value or an error code, and a value read must come back
// the same through the writer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/json_document.h"
#include "automation/json_value.h"

namespace {

using nlohmann::json;

class Handle : public velk::IUnknown {};

// Three objects, by handles 1 to 3, as a session's table holds them.
std::vector<velk::UnknownPtr>& Objects()
{
    static std::vector<velk::UnknownPtr> objects{
        std::make_shared<Handle>(), std::make_shared<Handle>(), std::make_shared<Handle>()};
    return objects;
}

velk::HRESULT FromJson(const json& value, velk::UnknownPtr& object, std::string& problem)
{
    const auto handle = value.find("object");
    if (handle == value.end() || !handle->is_number_unsigned() ||
        handle->get<std::uint64_t>() < 1 || handle->get<std::uint64_t>() > Objects().size()) {
        problem = "unknown handle";
        return velk::E_HANDLE;
    }
    object = Objects()[handle->get<std::size_t>() - 1];
    return velk::S_OK;
}

velk::HRESULT ToJson(const velk::UnknownPtr& object, json& out)
{
    for (std::size_t i = 0; i < Objects().size(); ++i) {
        if (Objects()[i] == object) {
            out = json{{"object", i + 1}};
            return velk::S_OK;
        }
    }
    return velk::DISP_E_TYPEMISMATCH;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string problem;
    const auto document = velk::ParseJsonDocument(
        std::string_view(reinterpret_cast<const char*>(data), size), velk::JsonLimits{}, problem);
    if (!document)
        return 0;
    const json& value = *document;
    velk::Variant read;
    if (velk::SUCCEEDED(velk::JsonToVariant(value, FromJson, read, problem))) {
        json written;
        velk::Variant again;
        if (velk::FAILED(velk::VariantToJson(read, ToJson, written)) ||
            velk::FAILED(velk::JsonToVariant(written, FromJson, again, problem)) ||
            !(again == read))
            __builtin_trap();
        velk::JsonText(written);
    }
    if (value.is_object()) {
        velk::UnknownPtr picture;
        velk::PictureFromJson(value, picture, problem);
    }
    return 0;
}
