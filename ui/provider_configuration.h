// One data provider's settings for one player, as the configuration side edits them: the
// provider made in this process, given its shared state (Globals) and the player's (after the
// host header: font, menu time-out, when content shows), its pages shown in a sheet, and
// everything written back where the service reads it. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "platform/reg_key.h"
#include "velk/velk_data_object.h"

namespace velk {

// The fields before a provider's own state in a player's stream.
struct HostHeader {
    std::uint16_t font = 2;
    std::uint32_t menu_timeout_ms = 10000;
    std::uint16_t show_content = 0; // 0 all the time, 1 player off, 2 no music playing
};

// The providers a player is given ("Classes" of its key, REG_MULTI_SZ; a single REG_SZ is read
// too). Adding a class listed already writes nothing; removing the last deletes the value.
HRESULT ReadPlayerClasses(const RegKey& player, std::vector<std::string>& classes);
HRESULT AddPlayerClass(RegKey& player, const Guid& clsid);
HRESULT RemovePlayerClass(RegKey& player, const Guid& clsid);

class ProviderConfiguration {
public:
    // The provider of class clsid with its stored state for the player udn. REGDB_E_CLASSNOTREG
    // and the other creation failures; E_NOINTERFACE for a class that is no configurable
    // provider; E_INVALIDARG for a UDN that names no player key.
    static HRESULT Load(const Guid& clsid, const std::string& udn,
                        std::unique_ptr<ProviderConfiguration>& configuration);

    IConfigureVelkDataObject& provider() { return *configure_; }
    const Guid& clsid() const { return clsid_; }
    HostHeader& header() { return header_; }

    // Writes the provider's shared state, then the player's stream (the header, then the
    // provider's state for the player).
    HRESULT Save();
    // Lists the provider in the player's "Classes" (once; a single REG_SZ becomes a list).
    HRESULT Enable();

private:
    ProviderConfiguration() = default;

    Guid clsid_;
    std::string udn_;
    std::string player_key_;
    std::shared_ptr<IVelkDataObject> object_;
    std::shared_ptr<IConfigureVelkDataObject> configure_;
    std::shared_ptr<IVelkDevice> player_;
    HostHeader header_;
};

} // namespace velk
