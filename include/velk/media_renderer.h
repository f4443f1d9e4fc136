// The media renderers of the network as the "Media Players" window shows them, and what the
// handlers that other modules attach to its items (context-menu verbs, property pages) are
// given: the selected items, each a media renderer with its UPnP device and its transport
// state. Handlers are classes in plug-in modules registered by association: under HKCR
// "MediaRenderer" for every renderer and "MediaRenderer\<manufacturer>" for one maker's, in
// the subkeys "shellex\ContextMenuHandlers" and "shellex\PropertySheetHandlers" (subkey names
// are class ids). Everything here is called on the GUI thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/guid.h"
#include "platform/hresult.h"
#include "platform/unknown.h"
#include "platform/upnp_device.h"
#include "velk/property_sheet_page.h"

namespace velk {

inline constexpr std::string_view kMediaRendererDeviceType = "urn:schemas-upnp-org:device:MediaRenderer:1";
// The association class of every renderer; a maker's renderers also have
// "MediaRenderer\<manufacturer>".
inline constexpr std::string_view kMediaRendererClass = "MediaRenderer";
// The Melodeck players' maker class, where the players' own verb and pages are registered.
inline constexpr std::string_view kMelodeckPlayerClass = "MediaRenderer\\Velk";

enum tagAVTransportState : std::uint32_t {
    AV_TRANSPORT_STOPPED = 1,
    AV_TRANSPORT_PLAYING = 2,
    AV_TRANSPORT_TRANSITIONING = 4,
    AV_TRANSPORT_PAUSED_PLAYBACK = 8,
    AV_TRANSPORT_PAUSED_RECORDING = 16,
    AV_TRANSPORT_RECORDING = 32,
    AV_TRANSPORT_NO_MEDIA_PRESENT = 64,
    AV_TRANSPORT_UNKNOWN = 128,
};

// {65C60ADB-BC53-4053-A917-EF10066CFD71}
class IMediaRenderer : public IUnknown {
public:
    // The device as the control point last described it.
    virtual HRESULT get_UPnPDevice(UPnPDeviceInfo& device) const = 0;
    virtual HRESULT get_CurrentTransportState(tagAVTransportState& state) const = 0;
};

// The items a handler acts on, in the order the user selected them.
class IDataObject : public IUnknown {
public:
    virtual const std::vector<std::shared_ptr<IMediaRenderer>>& Items() const = 0;
};

// The data object the window and the configuration tool hand to the handlers.
class CPidlDataObject final : public IDataObject {
public:
    explicit CPidlDataObject(std::vector<std::shared_ptr<IMediaRenderer>> items) : items_(std::move(items)) {}
    const std::vector<std::shared_ptr<IMediaRenderer>>& Items() const override { return items_; }

private:
    std::vector<std::shared_ptr<IMediaRenderer>> items_;
};

// A handler learns its items first. E_INVALIDARG without a data object.
class IShellExtInit : public IUnknown {
public:
    virtual HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) = 0;
};

// QueryContextMenu flags.
constexpr unsigned CMF_NORMAL = 0x0;
constexpr unsigned CMF_DEFAULTONLY = 0x1;
constexpr unsigned CMF_EXTENDEDVERBS = 0x100; // the menu was opened with Shift held

// GetCommandString types (strings are UTF-8: no separate narrow and wide forms).
constexpr unsigned GCS_VERB = 0x4;
constexpr unsigned GCS_HELPTEXT = 0x5;
constexpr unsigned GCS_VALIDATE = 0x6;

// A context menu as handlers fill it: the window turns it into the toolkit's menu.
struct ContextMenuItem {
    unsigned command_id = 0; // 0 for a separator
    std::string text;        // "&Open": & marks the access key
    bool separator = false;
    bool shield = false; // the command runs with administrator rights
};

struct ContextMenu {
    std::vector<ContextMenuItem> items;
    unsigned default_command = 0; // 0: none

    // Inserts at position (clamped to the end).
    void Insert(std::size_t position, ContextMenuItem item);
};

inline void ContextMenu::Insert(std::size_t position, ContextMenuItem item)
{
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(std::min(position, items.size())),
                 std::move(item));
}

struct InvokeCommandInfo {
    // The command's offset from the first command id given to QueryContextMenu, or a verb.
    std::variant<unsigned, std::string> verb;
    QWidget* owner = nullptr; // the parent of any window the command shows
};

class IContextMenu : public IUnknown {
public:
    // Inserts the handler's commands at `index`, ids from first_id to last_id; succeeds with
    // the number of entries inserted (commands and separators) as the success code.
    virtual HRESULT QueryContextMenu(ContextMenu& menu, std::size_t index, unsigned first_id,
                                     unsigned last_id, unsigned flags) = 0;
    virtual HRESULT InvokeCommand(const InvokeCommandInfo& info) = 0;
    // E_INVALIDARG for an unknown offset; S_OK without text for the types it does not give.
    virtual HRESULT GetCommandString(unsigned offset, unsigned type, std::string& text) = 0;
};

class IShellPropSheetExt : public IUnknown {
public:
    // Hands the handler's pages to the sheet, in order.
    virtual HRESULT AddPages(const AddPropSheetPageFn& add_page) = 0;
};

} // namespace velk
