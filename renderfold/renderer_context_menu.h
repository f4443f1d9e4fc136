// The window's own verbs for a renderer: open its web page, play, run as administrator, pause,
// stop, next and previous track, each shown in the transport states where it applies, and only
// for a single selected item. A context-menu handler like those other modules register, so the
// window builds every menu the same way. GUI thread.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "velk/media_renderer.h"

namespace velk {

struct RendererVerb {
    const char* text;   // "&Open"
    std::string_view verb; // "open"
    const char* help;
    bool separator_after;
    unsigned states;    // tagAVTransportState bits where it is shown; 0: always
    bool shield;
};

// The verbs in menu order.
std::span<const RendererVerb> RendererVerbs();

class CMediaRendererContextMenu final : public IShellExtInit, public IContextMenu {
public:
    HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) override;
    HRESULT QueryContextMenu(ContextMenu& menu, std::size_t index, unsigned first_id, unsigned last_id,
                             unsigned flags) override;
    HRESULT InvokeCommand(const InvokeCommandInfo& info) override;
    HRESULT GetCommandString(unsigned offset, unsigned type, std::string& text) override;

private:
    std::shared_ptr<IMediaRenderer> item_; // the one selected item; none for other selections
};

} // namespace velk
