// The player's visualizers ("ListVisualizers"): each can be selected and read for its current
// data; the collection also tells which one the player shows and reads the three kinds of data
// directly. Lives in the session's apartment and keeps the session alive.
#pragma once

#include <optional>
#include <string_view>

#include "rcp/rcp_list_items.h"

namespace velk {

// The bytes of a "data bytes: <n>" reply (the header line, CR LF, then pairs of hexadecimal
// digits) as an array of numbers. Only bytes present count, at most n, up to the first pair
// that is not hexadecimal; a reply without the line break after its header gives an empty
// array.
Variant ParseVisualizerData(std::string_view value);

// The command that reads a visualizer's data, by the visualizer's name; none for one without
// data (the clock) or an unknown one.
std::optional<std::string_view> VisualizerDataCommand(std::string_view name);

// Runs one of the data commands; the data is an empty array when the command fails.
HRESULT ReadVisualizerData(CRCPSession& session, std::string_view word, Variant& data);

class CRCPVisualizer final : public CRCPItem<CRCPVisualizer, IRCPVisualizer> {
public:
    using CRCPItem::CRCPItem;
    static const Dispatcher<CRCPVisualizer>& Dispatch();

    HRESULT Select() override;
    HRESULT get_Data(Variant& data) override;
};

class CEnumRCPVisualizers final
    : public CRCPCollectionBase<CEnumRCPVisualizers, IEnumRCPVisualizers, CRCPVisualizer> {
public:
    static const Dispatcher<CEnumRCPVisualizers>& Dispatch();

    CEnumRCPVisualizers(SessionPtr session, Items items)
        : CRCPCollectionBase(std::move(items)), session_(std::move(session))
    {
    }

    // The listed visualizer whose name "GetVisualizer" gives.
    HRESULT get_CurrentVisualizer(std::shared_ptr<IRCPVisualizer>& visualizer) override;
    HRESULT get_VisualizerDataVU(Variant& data) override;
    HRESULT get_VisualizerDataFreq(Variant& data) override;
    HRESULT get_VisualizerDataScope(Variant& data) override;

private:
    const SessionPtr session_;
};

} // namespace velk
