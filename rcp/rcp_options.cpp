#include "rcp/rcp_options.h"

#include "platform/ascii.h"
#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

constexpr std::string_view kBootModeWords[] = {"lastState", "standby", "lastSource", "serverList"};
constexpr std::string_view kStandbyModeWords[] = {"clock", "screenOff"};

constexpr std::string_view kBootMode = "bootMode";
constexpr std::string_view kStandbyMode = "standbyMode";
constexpr std::string_view kMultiChannel = "outputMultichannel";
constexpr std::string_view kRevertToNowPlaying = "revertToNowPlaying";
constexpr std::string_view kScrollLongInfo = "scrollLongInfo";
constexpr std::string_view kDisplayComposer = "displayComposer";
constexpr std::string_view kSkipUnchecked = "skipUnchecked";
constexpr std::string_view kWMAThreshold = "wmaThreshold";

} // namespace

const Dispatcher<CRCPOptions>& CRCPOptions::Dispatch()
{
    using O = CRCPOptions;
    static const auto dispatcher =
        DispatchBuilder<O>("IRCPOptions")
            .Property("BootMode", 1, &O::get_BootMode, &O::put_BootMode)
            .Property("StandbyMode", 2, &O::get_StandbyMode, &O::put_StandbyMode)
            .Property("MultiChannel", 3, &O::get_MultiChannel, &O::put_MultiChannel)
            .Property("RevertToNowPlaying", 4, &O::get_RevertToNowPlaying,
                      &O::put_RevertToNowPlaying)
            .Property("ScrollLongInfo", 5, &O::get_ScrollLongInfo, &O::put_ScrollLongInfo)
            .Property("DisplayComposer", 6, &O::get_DisplayComposer, &O::put_DisplayComposer)
            .Property("SkipUnchecked", 7, &O::get_SkipUnchecked, &O::put_SkipUnchecked)
            .Property("WMAThreshold", 8, &O::get_WMAThreshold, &O::put_WMAThreshold)
            .Build();
    return dispatcher;
}

HRESULT CRCPOptions::Get(std::string_view option, std::string& value)
{
    return session_->Command("GetOption", option, &value);
}

HRESULT CRCPOptions::Set(std::string_view option, std::string_view value)
{
    std::string argument(option);
    argument += ' ';
    argument += value;
    return session_->Command("SetOption", argument);
}

HRESULT CRCPOptions::GetChoice(std::string_view option, std::span<const std::string_view> words,
                               std::int32_t& mode)
{
    std::string value;
    HRESULT hr = Get(option, value);
    if (FAILED(hr))
        return hr;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (EqualsIgnoringCase(value, words[i])) {
            mode = static_cast<std::int32_t>(i);
            return hr;
        }
    }
    return ReportError(E_UNEXPECTED);
}

HRESULT CRCPOptions::PutChoice(std::string_view option, std::span<const std::string_view> words,
                               std::int32_t mode)
{
    if (mode < 0 || static_cast<std::size_t>(mode) >= words.size())
        return ReportError(E_INVALIDARG);
    return Set(option, words[static_cast<std::size_t>(mode)]);
}

HRESULT CRCPOptions::GetFlag(std::string_view option, bool& on)
{
    std::string value;
    HRESULT hr = Get(option, value);
    if (SUCCEEDED(hr))
        on = value == "1";
    return hr;
}

HRESULT CRCPOptions::PutFlag(std::string_view option, bool on)
{
    return Set(option, on ? "1" : "0");
}

HRESULT CRCPOptions::get_BootMode(std::int32_t& mode)
{
    return GetChoice(kBootMode, kBootModeWords, mode);
}

HRESULT CRCPOptions::put_BootMode(std::int32_t mode)
{
    return PutChoice(kBootMode, kBootModeWords, mode);
}

HRESULT CRCPOptions::get_StandbyMode(std::int32_t& mode)
{
    return GetChoice(kStandbyMode, kStandbyModeWords, mode);
}

HRESULT CRCPOptions::put_StandbyMode(std::int32_t mode)
{
    return PutChoice(kStandbyMode, kStandbyModeWords, mode);
}

HRESULT CRCPOptions::get_MultiChannel(bool& on)
{
    return GetFlag(kMultiChannel, on);
}
HRESULT CRCPOptions::put_MultiChannel(bool on)
{
    return PutFlag(kMultiChannel, on);
}
HRESULT CRCPOptions::get_RevertToNowPlaying(bool& on)
{
    return GetFlag(kRevertToNowPlaying, on);
}
HRESULT CRCPOptions::put_RevertToNowPlaying(bool on)
{
    return PutFlag(kRevertToNowPlaying, on);
}
HRESULT CRCPOptions::get_ScrollLongInfo(bool& on)
{
    return GetFlag(kScrollLongInfo, on);
}
HRESULT CRCPOptions::put_ScrollLongInfo(bool on)
{
    return PutFlag(kScrollLongInfo, on);
}
HRESULT CRCPOptions::get_DisplayComposer(bool& on)
{
    return GetFlag(kDisplayComposer, on);
}
HRESULT CRCPOptions::put_DisplayComposer(bool on)
{
    return PutFlag(kDisplayComposer, on);
}
HRESULT CRCPOptions::get_SkipUnchecked(bool& on)
{
    return GetFlag(kSkipUnchecked, on);
}
HRESULT CRCPOptions::put_SkipUnchecked(bool on)
{
    return PutFlag(kSkipUnchecked, on);
}

HRESULT CRCPOptions::get_WMAThreshold(std::int32_t& threshold)
{
    std::string value;
    HRESULT hr = Get(kWMAThreshold, value);
    if (FAILED(hr))
        return hr;
    const auto number = ParseDecimal32(value);
    if (!number)
        return ReportError(E_UNEXPECTED);
    threshold = *number;
    return hr;
}

HRESULT CRCPOptions::put_WMAThreshold(std::int32_t threshold)
{
    return Set(kWMAThreshold, std::to_string(threshold));
}

} // namespace velk
