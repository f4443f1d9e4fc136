// The player's options, each read with "GetOption <word>" and written with
// "SetOption <word> <value>". Made on request by the session; lives in its apartment and keeps
// it alive.
#pragma once

#include <span>
#include <string_view>

#include "rcp/rcp_collection.h"

namespace velk {

class CRCPOptions final : public DispatchImpl<CRCPOptions, IRCPOptions> {
public:
    static const Dispatcher<CRCPOptions>& Dispatch();

    explicit CRCPOptions(SessionPtr session) : session_(std::move(session)) {}

    // A value the player gives that is not one of the option's words: E_UNEXPECTED. A mode
    // that has no word: E_INVALIDARG, nothing sent.
    HRESULT get_BootMode(std::int32_t& mode) override;
    HRESULT put_BootMode(std::int32_t mode) override;
    HRESULT get_StandbyMode(std::int32_t& mode) override;
    HRESULT put_StandbyMode(std::int32_t mode) override;
    HRESULT get_MultiChannel(bool& on) override;
    HRESULT put_MultiChannel(bool on) override;
    HRESULT get_RevertToNowPlaying(bool& on) override;
    HRESULT put_RevertToNowPlaying(bool on) override;
    HRESULT get_ScrollLongInfo(bool& on) override;
    HRESULT put_ScrollLongInfo(bool on) override;
    HRESULT get_DisplayComposer(bool& on) override;
    HRESULT put_DisplayComposer(bool on) override;
    HRESULT get_SkipUnchecked(bool& on) override;
    HRESULT put_SkipUnchecked(bool on) override;
    // A value that is not a number: E_UNEXPECTED.
    HRESULT get_WMAThreshold(std::int32_t& threshold) override;
    HRESULT put_WMAThreshold(std::int32_t threshold) override;

private:
    HRESULT Get(std::string_view option, std::string& value);
    HRESULT Set(std::string_view option, std::string_view value);
    // Options whose values are words, the mode being the word's position.
    HRESULT GetChoice(std::string_view option, std::span<const std::string_view> words,
                      std::int32_t& mode);
    HRESULT PutChoice(std::string_view option, std::span<const std::string_view> words,
                      std::int32_t mode);
    // Options that are "1" or "0".
    HRESULT GetFlag(std::string_view option, bool& on);
    HRESULT PutFlag(std::string_view option, bool on);

    const SessionPtr session_;
};

} // namespace velk
