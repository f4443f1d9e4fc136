#include "rcp/rcp_visualizers.h"

#include "platform/hex.h"
#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

constexpr std::string_view kDataBytesHeader = "data bytes:";
constexpr std::string_view kDataVU = "GetVizDataVU";
constexpr std::string_view kDataFreq = "GetVizDataFreq";
constexpr std::string_view kDataScope = "GetVizDataScope";

} // namespace

Variant ParseVisualizerData(std::string_view value)
{
    std::vector<Variant> bytes;
    const std::size_t line_end = value.find("\r\n");
    if (!value.starts_with(kDataBytesHeader) || line_end == std::string_view::npos)
        return Variant(std::move(bytes));
    const auto announced =
        ParseDecimal(value.substr(kDataBytesHeader.size(), line_end - kDataBytesHeader.size()));
    if (!announced || *announced <= 0)
        return Variant(std::move(bytes));
    const std::string_view digits = value.substr(line_end + 2);
    const std::size_t count =
        std::min<std::size_t>(digits.size() / 2, static_cast<std::uint64_t>(*announced));
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.emplace_back(static_cast<std::int32_t>(high * 16 + low));
    }
    return Variant(std::move(bytes));
}

std::optional<std::string_view> VisualizerDataCommand(std::string_view name)
{
    if (name == "Horizontal VU-Meter" || name == "Vertical VU-Meter")
        return kDataVU;
    if (name == "Voice Print" || name == "Frequency Analyzer")
        return kDataFreq;
    if (name == "Oscilloscope")
        return kDataScope;
    return std::nullopt;
}

HRESULT ReadVisualizerData(CRCPSession& session, std::string_view word, Variant& data)
{
    std::string value;
    HRESULT hr = session.Command(word, {}, &value);
    data = ParseVisualizerData(SUCCEEDED(hr) ? value : std::string_view());
    return hr;
}

const Dispatcher<CRCPVisualizer>& CRCPVisualizer::Dispatch()
{
    static const auto dispatcher = ItemMembers("IRCPVisualizer")
                                       .Method("Select", 2, &CRCPVisualizer::Select)
                                       .Get("Data", 3, &CRCPVisualizer::get_Data)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPVisualizer::Select()
{
    return session_->Command("SetVisualizer", IdText());
}

HRESULT CRCPVisualizer::get_Data(Variant& data)
{
    const auto word = VisualizerDataCommand(name_);
    if (!word) {
        data = Variant(std::vector<Variant>());
        return S_OK;
    }
    return ReadVisualizerData(*session_, *word, data);
}

const Dispatcher<CEnumRCPVisualizers>& CEnumRCPVisualizers::Dispatch()
{
    using V = CEnumRCPVisualizers;
    static const auto dispatcher = CollectionMembers("IEnumRCPVisualizers")
                                       .Get("CurrentVisualizer", 2, &V::get_CurrentVisualizer)
                                       .Get("VisualizerDataVU", 3, &V::get_VisualizerDataVU)
                                       .Get("VisualizerDataFreq", 4, &V::get_VisualizerDataFreq)
                                       .Get("VisualizerDataScope", 5, &V::get_VisualizerDataScope)
                                       .Build();
    return dispatcher;
}

HRESULT CEnumRCPVisualizers::get_CurrentVisualizer(std::shared_ptr<IRCPVisualizer>& visualizer)
{
    std::string name;
    HRESULT hr = session_->Command("GetVisualizer", {}, &name);
    if (FAILED(hr))
        return hr;
    visualizer.reset();
    for (const auto& item : items_) {
        if (item->name() == name) {
            visualizer = item;
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT CEnumRCPVisualizers::get_VisualizerDataVU(Variant& data)
{
    return ReadVisualizerData(*session_, kDataVU, data);
}

HRESULT CEnumRCPVisualizers::get_VisualizerDataFreq(Variant& data)
{
    return ReadVisualizerData(*session_, kDataFreq, data);
}

HRESULT CEnumRCPVisualizers::get_VisualizerDataScope(Variant& data)
{
    return ReadVisualizerData(*session_, kDataScope, data);
}

} // namespace velk
