// The common property pages of every media renderer ("General", "Status", "Control" and the
// window's "Media Renderers" options): the handler class registered under
// HKCR\MediaRenderer\shellex\PropertySheetHandlers, made by this library's module entry points.
// GUI thread.
#pragma once

#include <memory>

#include "platform/guid.h"
#include "velk/media_renderer.h"

namespace velk {

// {04C88905-8571-40FE-A1A3-19FF1DD4D836}
extern const Guid CLSID_MediaRendererPropertySheetExt;

class CMediaRendererPropertySheetExt final : public IShellExtInit, public IShellPropSheetExt {
public:
    // The first item is the one the pages show.
    HRESULT Initialize(const std::shared_ptr<IDataObject>& data_object) override;
    // "General" for any renderer; "Status" and "Control" for one this library found; then
    // "Media Renderers".
    HRESULT AddPages(const AddPropSheetPageFn& add_page) override;

private:
    std::shared_ptr<IMediaRenderer> item_;
};

} // namespace velk
