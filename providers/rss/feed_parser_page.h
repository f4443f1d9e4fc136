// The feed's renderer ("parser"), chosen among the classes of the renderer category by their
// names; the chosen renderer's own pages follow this page, and a new choice replaces them. In
// the add-feed wizard it is the second page; in a feed's sheet it also carries the feed's name,
// which Apply stores in the draft. GUI thread only.
#pragma once

#include <memory>
#include <vector>

#include <QObject>

#include "providers/rss/feed_entry.h"
#include "ui/rendered_property_page.h"

class QComboBox;
class QLineEdit;

namespace velk {

class CAddFeedWizardParserPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2301;

    static HPROPSHEETPAGE Record(const std::shared_ptr<FeedDraft>& draft);

    CAddFeedWizardParserPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;
    std::intptr_t OnWizardNext() override;

private:
    // Makes the renderer of the class at `index` of the list and puts its pages after this one.
    void Choose(int index);

    const std::shared_ptr<FeedDraft> draft_;
    const bool wizard_page_;
    std::vector<Guid> parsers_; // in the list's order
    int renderer_pages_ = 0;     // the pages of the chosen renderer, right after this one
    QLineEdit* name_field_ = nullptr;
    QComboBox* parser_box_;
    QObject connections_;
};

} // namespace velk
