// Test support: a player that records the drawing and display calls a provider makes on it and
// passes every call on to a real player, so that tests see the calls themselves (the real
// player folds repeated quits into one line) and what the player does with them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "velk/ivelk_device.h"

namespace velk::testing {

class RecordingPlayer : public IVelkDevice {
public:
    explicit RecordingPlayer(std::shared_ptr<IVelkDevice> player) : player_(std::move(player)) {}

    // "Sketch <verb number>" and "GiveUpDisplay <seconds>", in call order.
    const std::vector<std::string>& calls() const { return calls_; }
    std::size_t Count(const std::string& call) const
    {
        return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
    }
    static std::string SketchCall(SketchVerbs verb)
    {
        return "Sketch " + std::to_string(static_cast<int>(verb));
    }

    const DispatchTable& Table() const override { return player_->Table(); }
    HRESULT Invoke(DISPID dispid, MemberKind kind, std::vector<Variant>& args,
                   Variant& result) override
    {
        return player_->Invoke(dispid, kind, args, result);
    }

    HRESULT get_UDN(std::string& udn) override { return player_->get_UDN(udn); }
    HRESULT AudioWarble() override { return player_->AudioWarble(); }
    HRESULT AudioTone(const Variant& tone, const Variant& frequency) override
    {
        return player_->AudioTone(tone, frequency);
    }
    HRESULT HtPlay(std::string_view url) override { return player_->HtPlay(url); }
    HRESULT Stop() override { return player_->Stop(); }
    HRESULT Attract() override { return player_->Attract(); }
    HRESULT get_DeviceType(std::string& type) override { return player_->get_DeviceType(type); }
    HRESULT ScreenSize(std::int16_t& cx, std::int16_t& cy) override
    {
        return player_->ScreenSize(cx, cy);
    }
    HRESULT get_Version(std::string& version) override { return player_->get_Version(version); }
    HRESULT DrawPicture(std::int32_t x, std::int32_t y, const Variant& picture) override
    {
        return player_->DrawPicture(x, y, picture);
    }
    HRESULT get_FontSize(std::int16_t& size) override { return player_->get_FontSize(size); }
    HRESULT Sketch(SketchVerbs verb, const Variant& p1, const Variant& p2, const Variant& p3,
                   const Variant& p4, const Variant& p5, const Variant& p6) override
    {
        calls_.push_back(SketchCall(verb));
        return player_->Sketch(verb, p1, p2, p3, p4, p5, p6);
    }
    HRESULT Load(const std::shared_ptr<IStream>& stream) override { return player_->Load(stream); }
    HRESULT get_RCPSession(std::shared_ptr<IRCPSession>& session) override
    {
        return player_->get_RCPSession(session);
    }
    HRESULT OnShutdown() override { return player_->OnShutdown(); }
    HRESULT get_Name(std::string& name) override { return player_->get_Name(name); }
    HRESULT get_ScreenWidth(std::int16_t& width) override { return player_->get_ScreenWidth(width); }
    HRESULT get_ScreenHeight(std::int16_t& height) override
    {
        return player_->get_ScreenHeight(height);
    }
    HRESULT GiveUpDisplay(std::int16_t seconds) override
    {
        calls_.push_back("GiveUpDisplay " + std::to_string(seconds));
        return player_->GiveUpDisplay(seconds);
    }
    HRESULT put_StandbyMode(bool standby) override { return player_->put_StandbyMode(standby); }
    HRESULT get_StandbyMode(bool& standby) override { return player_->get_StandbyMode(standby); }
    HRESULT get_IsAcceptingSketch(bool& accepting) override
    {
        return player_->get_IsAcceptingSketch(accepting);
    }
    HRESULT ShuttingDown() override { return player_->ShuttingDown(); }

private:
    const std::shared_ptr<IVelkDevice> player_;
    std::vector<std::string> calls_;
};

} // namespace velk::testing
