#include "automation/json_document.h"

namespace velk {

namespace {

using nlohmann::json;
using DomParser = nlohmann::detail::json_sax_dom_parser<json>;

// The library's own document builder, stopped as soon as the input goes beyond the limits.
class BoundedDomParser {
public:
    BoundedDomParser(json& result, const JsonLimits& limits, std::string& problem)
        : dom_(result, false), limits_(limits), problem_(problem)
    {
    }

    bool null() { return Counted() && dom_.null(); }
    bool boolean(bool value) { return Counted() && dom_.boolean(value); }
    bool number_integer(json::number_integer_t value)
    {
        return Counted() && dom_.number_integer(value);
    }
    bool number_unsigned(json::number_unsigned_t value)
    {
        return Counted() && dom_.number_unsigned(value);
    }
    bool number_float(json::number_float_t value, const json::string_t& text)
    {
        return Counted() && dom_.number_float(value, text);
    }
    bool string(json::string_t& value) { return Counted() && dom_.string(value); }
    bool binary(json::binary_t& value) { return Counted() && dom_.binary(value); }
    bool start_object(std::size_t size) { return Entered() && dom_.start_object(size); }
    bool key(json::string_t& value) { return dom_.key(value); }
    bool end_object()
    {
        --depth_;
        return dom_.end_object();
    }
    bool start_array(std::size_t size) { return Entered() && dom_.start_array(size); }
    bool end_array()
    {
        --depth_;
        return dom_.end_array();
    }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error)
    {
        problem_ = error.what();
        return dom_.parse_error(position, token, error);
    }

private:
    bool Counted()
    {
        if (++values_ <= limits_.values)
            return true;
        problem_ = "the document holds more than " + std::to_string(limits_.values) + " values";
        return false;
    }

    bool Entered()
    {
        if (!Counted())
            return false;
        if (++depth_ <= limits_.depth)
            return true;
        problem_ = "the document nests deeper than " + std::to_string(limits_.depth) + " levels";
        return false;
    }

    DomParser dom_;
    const JsonLimits& limits_;
    std::string& problem_;
    std::size_t values_ = 0;
    std::size_t depth_ = 0;
};

} // namespace

std::optional<json> ParseJsonDocument(std::string_view text, const JsonLimits& limits,
                                      std::string& problem)
{
    json result;
    BoundedDomParser parser(result, limits, problem);
    if (!json::sax_parse(text, &parser, json::input_format_t::json, true) ||
        result.is_discarded()) {
        if (problem.empty())
            problem = "the text is not JSON";
        return std::nullopt;
    }
    return result;
}

} // namespace velk
