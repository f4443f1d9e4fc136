// The property-sheet handler of Melodeck players (class VelkPropertyPages): adds the player's
// pages in their order, the administrator's pages only for a user who may write the machine
// hive, the data service's page only where the service is installed. The owner of every page
// it adds (each page's record holds it). Created per sheet; GUI thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/guid.h"
#include "shell/player_identity.h"

namespace velk {

// {D2B2497A-BDAE-4AE0-87E8-84BC439B450E}
inline const Guid CLSID_VelkPropertyPages = *Guid::Parse("{D2B2497A-BDAE-4AE0-87E8-84BC439B450E}");

// A player's pages, in sheet order.
enum class PlayerPage { NowPlaying, Presets, Advanced, iTunesUpdate, DataServices };

// The pages a user is given: Now Playing, Presets and Advanced; an administrator also iTunes
// Update, and Data Services where the data service is installed.
std::vector<PlayerPage> PlayerPages(bool administrator, bool service_installed);

// Whether this process may write the machine hive.
bool IsUserAnAdmin();

class CVelkPropertyPages final : public IShellExtInit,
                                 public IShellPropSheetExt,
                                 public IPlayerPagesOwner,
                                 public std::enable_shared_from_this<CVelkPropertyPages> {
public:
    HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) override;
    // S_OK when the last page offered was taken, E_FAIL when the sheet refused it; the pages
    // taken before stay.
    HRESULT AddPages(const AddPropSheetPageFn& add_page) override;

    const IDataObject* DataObject() const override { return data_object_.get(); }

private:
    std::shared_ptr<IDataObject> data_object_;
};

} // namespace velk
