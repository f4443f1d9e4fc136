#include "rcp/rcp_transaction.h"

#include <array>

namespace velk {

namespace {

constexpr std::string_view kDataBytes = "data bytes: ";
constexpr std::string_view kListResultSize = "ListResultSize";

constexpr std::array<std::string_view, 13> kSingleReplyCommands = {
    "IrDemod",     "GetDisplayData",      "GetIPAddress",     "GetMACAddress", "GetWiFiNetworkSelection",
    "GetTimeZone", "GetFriendlyName",     "GetVisualizer",    "GetVolume",     "GetTime",
    "GetSoftwareVersion", "GetOption",    "GetPowerState"};

// The commands that answer their argument-less query form with a single line.
constexpr std::array<std::string_view, 4> kQueryForms = {"Shuffle", "Repeat", "GetOption",
                                                         "GetTransportState"};

bool IsQueryForm(const CRCPTransaction& entry)
{
    std::string_view line = entry.command_line;
    if (line.ends_with("\r\n"))
        line.remove_suffix(2);
    for (auto word : kQueryForms) {
        if (entry.command_word == word && line == word)
            return true;
    }
    return false;
}

} // namespace

bool IsSingleReplyCommand(std::string_view command_word)
{
    for (auto word : kSingleReplyCommands) {
        if (command_word == word)
            return true;
    }
    return false;
}

HRESULT ClassifyReplyLine(CRCPTransaction& entry, std::string_view value)
{
    HRESULT outcome = E_PENDING;
    if (HRESULT error = RcpErrorWordResult(value); FAILED(error)) {
        outcome = error;
        entry.in_transaction = false;
    } else if (value == "TransactionInitiated") {
        entry.in_transaction = true;
    } else if (value == "TransactionComplete") {
        entry.in_transaction = false;
        const HRESULT stored = entry.Result();
        outcome = FAILED(stored) && stored != E_PENDING ? stored : S_OK;
    } else if (value == "OK" || value == "ListResultEnd" || value == "PowerStateOn") {
        outcome = entry.in_transaction ? E_PENDING : S_OK;
    } else if (!entry.want_list_size && value.starts_with(kListResultSize)) {
        // Only list commands want the size line.
    } else {
        if (entry.callback) {
            std::lock_guard guard(entry.callback_lock);
            if (!entry.active)
                return E_PENDING;
            const HRESULT callback_result = entry.callback(value, entry.line_index++);
            if (FAILED(callback_result))
                outcome = callback_result;
        }
        if (!entry.callback || value.starts_with(kDataBytes) || IsSingleReplyCommand(entry.command_word))
            outcome = S_OK;
    }
    if (IsQueryForm(entry))
        outcome = S_OK;

    std::lock_guard guard(entry.lock);
    // A result that settled stays: a late line does not reopen or overwrite it, except that a
    // standing event entry takes each event's outcome.
    if (entry.result == E_PENDING || entry.command_line.empty())
        entry.result = outcome;
    ++entry.lines_seen;
    return outcome;
}

} // namespace velk
