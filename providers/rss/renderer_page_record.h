// The record of one of a renderer's pages: in the add-feed wizard it carries the wizard's title
// and header, when a feed is configured it is a tab of its own. GUI thread only.
#pragma once

#include "providers/rss/rss_strings.h"
#include "ui/rendered_property_page.h"

namespace velk {

template <class Page>
HPROPSHEETPAGE RendererPageRecord(const UnknownPtr& owner, bool wizard_mode, const char* tab_title,
                                  const char* subtitle)
{
    PropSheetPage record;
    record.title = wizard_mode ? kRssWizardTitle : tab_title;
    record.template_id = Page::kDialogId;
    record.header_title = kRssWizardTitle;
    record.header_subtitle = subtitle;
    record.lParam = owner;
    return PageRecord<Page>(std::move(record));
}

} // namespace velk
