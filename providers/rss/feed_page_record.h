// The record of a page of the add-feed wizard or of a feed's sheet (the wizard's own pages and
// the renderers'): in the wizard it carries the wizard's title and header (or the watermark in
// its place), when a feed is configured it is a tab of its own. GUI thread only.
#pragma once

#include "providers/rss/rss_strings.h"
#include "ui/rendered_property_page.h"

namespace velk {

template <class Page>
HPROPSHEETPAGE FeedPageRecord(const UnknownPtr& owner, bool wizard_mode, const char* tab_title,
                                  const char* subtitle, bool hide_header = false)
{
    PropSheetPage record;
    record.title = wizard_mode ? kRssWizardTitle : tab_title;
    record.template_id = Page::kDialogId;
    record.header_title = kRssWizardTitle;
    record.header_subtitle = subtitle;
    record.hide_header = hide_header;
    record.lParam = owner;
    return PageRecord<Page>(std::move(record));
}

} // namespace velk
