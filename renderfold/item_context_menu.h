// The context menu of the selected renderers as the window shows it: the window's own verbs,
// then the commands of the context-menu handlers registered for the items' association
// classes ("MediaRenderer", then "MediaRenderer\<manufacturer>"), each handler with a range of
// command ids of its own. GUI thread.
#pragma once

#include <memory>
#include <vector>

#include "velk/media_renderer.h"

class QMenu;
class QWidget;

namespace velk {

class CItemContextMenu {
public:
    // Command ids each handler may use.
    static constexpr unsigned kIdsPerHandler = 100;

    // flags: CMF_* (CMF_EXTENDEDVERBS while Shift is held).
    CItemContextMenu(std::vector<std::shared_ptr<IMediaRenderer>> items, unsigned flags);

    const ContextMenu& menu() const { return menu_; }
    // Runs the command with the id; E_INVALIDARG for an id no handler gave.
    HRESULT Invoke(unsigned command_id, QWidget* owner) const;
    // The menu for the toolkit: separators collapsed, the default command bold, shield icons.
    // Choosing an entry runs its command with owner as parent.
    void Fill(QMenu& menu, QWidget* owner) const;

private:
    struct Handler {
        std::shared_ptr<IContextMenu> menu;
        unsigned first_id;
    };

    void Query(const std::shared_ptr<IContextMenu>& handler, const std::shared_ptr<IDataObject>& data, unsigned flags);

    ContextMenu menu_;
    std::vector<Handler> handlers_;
};

} // namespace velk
