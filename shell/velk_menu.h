// The context-menu handler of Melodeck players (class VelkMenu): "&Telnet" for a single player
// when the menu was opened with Shift held, with a separator after its place. Created per menu
// by the window that shows the items; GUI thread.
#pragma once

#include <memory>

#include "platform/guid.h"
#include "velk/media_renderer.h"

namespace velk {

// {4C4A1021-6447-44C8-8806-6343E6DA02A2}
inline const Guid CLSID_VelkMenu = *Guid::Parse("{4C4A1021-6447-44C8-8806-6343E6DA02A2}");

class CVelkMenu final : public IShellExtInit, public IContextMenu {
public:
    HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) override;

    // Succeeds with the number of entries inserted; with CMF_DEFAULTONLY inserts nothing and
    // answers 1, as the system's handlers do. E_FAIL before Initialize.
    HRESULT QueryContextMenu(ContextMenu& menu, std::size_t index, unsigned first_id,
                             unsigned last_id, unsigned flags) override;
    // Only the command offset 0 runs the verb: a verb given as text is refused (E_FAIL).
    HRESULT InvokeCommand(const InvokeCommandInfo& info) override;
    HRESULT GetCommandString(unsigned offset, unsigned type, std::string& text) override;

private:
    std::shared_ptr<IDataObject> data_object_;
};

} // namespace velk
