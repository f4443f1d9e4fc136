// The time provider: whenever the host runs it, writes the current date and time on every
// player it serves, each player with its own date and time pictures (the locale's defaults when
// the player has none). Its one setting per player is that pair of pictures, kept in the
// player's device state and edited on the "Time Options" page. Created by class id in the
// service's main apartment and used only there.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "providers/common/data_provider.h"
#include "providers/time/time_format_settings.h"
#include "velk/velk_data_object.h"

namespace velk {

// {D4759F97-ABB6-4DBA-8ECD-9B2B0CEE91DE}
constexpr Guid CLSID_VelkTimeServer{
    0xD4759F97, 0xABB6, 0x4DBA, {0x8E, 0xCD, 0x9B, 0x2B, 0x0C, 0xEE, 0x91, 0xDE}};

class CVelkTimeServer : public DispatchImpl<CVelkTimeServer, IVelkDataObject>,
                        public IConfigureVelkDataObject,
                        public ITimeFormatSettings,
                        public CDataProvider {
public:
    // Milliseconds between runs.
    static constexpr std::uint32_t kPollIntervalMs = 500;

    static const Dispatcher<CVelkTimeServer>& Dispatch();

    CVelkTimeServer() : CDataProvider(ProviderKind::Time) {}

    HRESULT Initialize(const std::shared_ptr<IVelkDataHost>& iHost,
                       std::uint32_t& lpdwPollFrequency) override;
    HRESULT Start(const std::shared_ptr<IVelkDataHost>& iHost) override;
    HRESULT Run() override;
    HRESULT Terminate() override;

    HRESULT Configure(const AddPropSheetPageFn& lpfnAddPage, std::string_view bstrDeviceUDN,
                      std::string_view bstrDeviceModel) override;
    HRESULT SaveObjectState(IStream& stream) override;
    HRESULT LoadObjectState(IStream& stream) override;
    HRESULT SaveDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;
    HRESULT LoadDeviceState(IStream& stream, const std::shared_ptr<IVelkDevice>& iDevice) override;

    void ConfiguredFormats(std::string& date_format, std::string& time_format) const override;
    void SetConfiguredFormats(std::string date_format, std::string time_format) override;

    // The line a player shows now: its date, one space, its time.
    std::string TextFor(const std::string& udn) const;

private:
    void Draw(IVelkDevice& player) const;

    std::map<std::string, std::string> date_formats_; // by player UDN, exact
    std::map<std::string, std::string> time_formats_;
    std::string configured_udn_;
};

} // namespace velk
