// A property-sheet page as its maker hands it to a sheet: what the sheet needs to build the page
// when the page is first shown, and the owner whose settings the page edits. The record carries
// no toolkit types, so that a provider module without a user interface can make records and
// pass them on; the page object itself (ui/rendered_property_page.h) is built by `create` only
// when the sheet shows the page, and lives as long as the page's widget. Holding a record holds
// its owner: the owner's reference goes with the last copy of the record.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/unknown.h"

class QWidget;

namespace velk {

class CRenderedPropertyPage;
class IPropertySheet;

struct PropSheetPage {
    std::string title;  // the tab's text; a wizard's caption while the page is shown
    int template_id = 0; // the page's dialog id: what wizard back/next results name
    // Wizard pages: the header above the page, or the watermark instead of it (welcome and
    // completion pages).
    std::string header_title;
    std::string header_subtitle;
    bool hide_header = false;
    // Builds the page object on the page's (still empty) widget; null when it cannot, and the
    // page then stays empty and accepts every notification.
    std::function<std::unique_ptr<CRenderedPropertyPage>(QWidget* window, IPropertySheet& sheet,
                                                         const PropSheetPage& page)>
        create;
    UnknownPtr lParam; // the page's owner
};

using HPROPSHEETPAGE = std::shared_ptr<const PropSheetPage>;

// The sheet's page-adding callback: true when the sheet took the page.
using AddPropSheetPageFn = std::function<bool(const HPROPSHEETPAGE& page)>;

} // namespace velk
