#include "ui/provider_configuration.h"

#include <algorithm>
#include <vector>

#include "platform/class_registry.h"
#include "platform/data_server_layout.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/reg_stream.h"
#include "platform/stream_fields.h"

namespace velk {

namespace {

constexpr std::uint16_t kHeaderFields = 3;

// The player as providers see it while they are configured: only its UDN is there.
class LocalPlayer : public IVelkDevice {
public:
    explicit LocalPlayer(std::string udn) : udn_(std::move(udn)) {}

    const DispatchTable& Table() const override
    {
        static const DispatchTable table("IVelkDevice");
        return table;
    }
    HRESULT Invoke(DISPID, MemberKind, std::vector<Variant>&, Variant&) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT get_UDN(std::string& udn) override
    {
        udn = udn_;
        return S_OK;
    }
    HRESULT AudioWarble() override { return E_NOTIMPL; }
    HRESULT AudioTone(const Variant&, const Variant&) override { return E_NOTIMPL; }
    HRESULT HtPlay(std::string_view) override { return E_NOTIMPL; }
    HRESULT Stop() override { return E_NOTIMPL; }
    HRESULT Attract() override { return E_NOTIMPL; }
    HRESULT get_DeviceType(std::string&) override { return E_NOTIMPL; }
    HRESULT ScreenSize(std::int16_t&, std::int16_t&) override { return E_NOTIMPL; }
    HRESULT get_Version(std::string&) override { return E_NOTIMPL; }
    HRESULT DrawPicture(std::int32_t, std::int32_t, const Variant&) override { return E_NOTIMPL; }
    HRESULT get_FontSize(std::int16_t&) override { return E_NOTIMPL; }
    HRESULT Sketch(SketchVerbs, const Variant&, const Variant&, const Variant&, const Variant&,
                   const Variant&, const Variant&) override
    {
        return E_NOTIMPL;
    }
    HRESULT Load(const std::shared_ptr<IStream>&) override { return E_NOTIMPL; }
    HRESULT get_RCPSession(std::shared_ptr<IRCPSession>&) override { return E_NOTIMPL; }
    HRESULT OnShutdown() override { return E_NOTIMPL; }
    HRESULT get_Name(std::string&) override { return E_NOTIMPL; }
    HRESULT get_ScreenWidth(std::int16_t&) override { return E_NOTIMPL; }
    HRESULT get_ScreenHeight(std::int16_t&) override { return E_NOTIMPL; }
    HRESULT GiveUpDisplay(std::int16_t) override { return E_NOTIMPL; }
    HRESULT put_StandbyMode(bool) override { return E_NOTIMPL; }
    HRESULT get_StandbyMode(bool&) override { return E_NOTIMPL; }
    HRESULT get_IsAcceptingSketch(bool&) override { return E_NOTIMPL; }
    HRESULT ShuttingDown() override { return E_NOTIMPL; }

private:
    const std::string udn_;
};

// As the service reads it: as many of the three fields as the count says.
HRESULT ReadHeader(IStream& stream, HostHeader& header)
{
    std::uint16_t count = 0;
    std::int32_t timeout = static_cast<std::int32_t>(header.menu_timeout_ms);
    HRESULT hr = ReadUInt16(stream, count);
    if (SUCCEEDED(hr) && count >= 1)
        hr = ReadUInt16(stream, header.font);
    if (SUCCEEDED(hr) && count >= 2)
        hr = ReadInt32(stream, timeout);
    if (SUCCEEDED(hr) && count >= 3)
        hr = ReadUInt16(stream, header.show_content);
    header.menu_timeout_ms = static_cast<std::uint32_t>(timeout);
    return hr;
}

HRESULT WriteHeader(IStream& stream, const HostHeader& header)
{
    HRESULT hr = WriteUInt16(stream, kHeaderFields);
    if (SUCCEEDED(hr))
        hr = WriteUInt16(stream, header.font);
    if (SUCCEEDED(hr))
        hr = WriteInt32(stream, static_cast<std::int32_t>(header.menu_timeout_ms));
    if (SUCCEEDED(hr))
        hr = WriteUInt16(stream, header.show_content);
    return hr;
}

std::string GlobalsPath(const Guid& clsid)
{
    return std::string(kGlobalsKey) + "\\" + clsid.ToString();
}

} // namespace

HRESULT ProviderConfiguration::Load(const Guid& clsid, const std::string& udn,
                                    std::unique_ptr<ProviderConfiguration>& configuration)
{
    const auto key = PlayerKey(udn);
    if (!key)
        return E_INVALIDARG;
    std::unique_ptr<ProviderConfiguration> loaded(new ProviderConfiguration);
    HRESULT hr = ClassRegistry::CreateInstance(clsid, loaded->object_);
    if (FAILED(hr))
        return hr;
    loaded->configure_ = std::dynamic_pointer_cast<IConfigureVelkDataObject>(loaded->object_);
    if (!loaded->configure_)
        return E_NOINTERFACE;
    loaded->clsid_ = clsid;
    loaded->udn_ = udn;
    loaded->player_key_ = *key;
    loaded->player_ = std::make_shared<LocalPlayer>(udn);

    // A provider without stored state starts from an empty one.
    std::shared_ptr<IStream> stream;
    if (FAILED(OpenRegStream(Hive::LocalMachine, GlobalsPath(clsid), kParametersValue,
                             StreamMode::Read, stream)))
        stream = std::make_shared<MemoryStream>();
    loaded->configure_->LoadObjectState(*stream);
    if (SUCCEEDED(OpenRegStream(Hive::LocalMachine, PlayerKeyPath(*key) + "\\" + clsid.ToString(),
                                kParametersValue, StreamMode::Read, stream)) &&
        SUCCEEDED(ReadHeader(*stream, loaded->header_)))
        loaded->configure_->LoadDeviceState(*stream, loaded->player_);
    configuration = std::move(loaded);
    return S_OK;
}

HRESULT ProviderConfiguration::Save()
{
    std::shared_ptr<IStream> stream;
    HRESULT hr = OpenRegStream(Hive::LocalMachine, GlobalsPath(clsid_), kParametersValue,
                               StreamMode::Write, stream);
    if (FAILED(hr) || FAILED(hr = configure_->SaveObjectState(*stream)) ||
        FAILED(hr = stream->Commit()))
        return hr;
    hr = OpenRegStream(Hive::LocalMachine, PlayerKeyPath(player_key_) + "\\" + clsid_.ToString(),
                       kParametersValue, StreamMode::Write, stream);
    if (FAILED(hr) || FAILED(hr = WriteHeader(*stream, header_)) ||
        FAILED(hr = configure_->SaveDeviceState(*stream, player_)))
        return hr;
    return stream->Commit();
}

HRESULT ProviderConfiguration::Enable()
{
    RegKey key;
    const HRESULT hr = key.Create(Hive::LocalMachine, PlayerKeyPath(player_key_));
    return FAILED(hr) ? hr : AddPlayerClass(key, clsid_);
}

HRESULT ReadPlayerClasses(const RegKey& player, std::vector<std::string>& classes)
{
    classes.clear();
    if (SUCCEEDED(player.QueryMultiStringValue(kClassesValue, classes)))
        return S_OK;
    std::string one;
    if (SUCCEEDED(player.QueryStringValue(kClassesValue, one)) && !one.empty())
        classes.push_back(one);
    return S_OK;
}

HRESULT AddPlayerClass(RegKey& player, const Guid& clsid)
{
    std::vector<std::string> classes;
    ReadPlayerClasses(player, classes);
    const std::string name = clsid.ToString();
    if (std::find(classes.begin(), classes.end(), name) != classes.end())
        return S_OK;
    classes.push_back(name);
    return player.SetMultiStringValue(kClassesValue, classes);
}

HRESULT RemovePlayerClass(RegKey& player, const Guid& clsid)
{
    std::vector<std::string> classes;
    ReadPlayerClasses(player, classes);
    if (std::erase(classes, clsid.ToString()) == 0)
        return S_OK;
    return classes.empty() ? player.DeleteValue(kClassesValue)
                           : player.SetMultiStringValue(kClassesValue, classes);
}

} // namespace velk
