// The add-feed wizard (welcome, parser, the renderer's own pages, the address check, title,
// finish) and a stored feed's sheet (its name and parser, then the renderer's pages). GUI thread
// only.
#pragma once

#include <string>

#include "providers/rss/feed_entry.h"
#include "ui/rendered_property_page.h"

class QWidget;

namespace velk {

class CAddFeedWizardStartPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2300;
    using CRenderedPropertyPage::CRenderedPropertyPage;
    std::intptr_t OnInitDialog() override;
};

class CAddFeedWizardTitlePage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2303;
    using CRenderedPropertyPage::CRenderedPropertyPage;
    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;
    std::intptr_t OnWizardNext() override;
};

class CAddFeedWizardEndPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2304;
    using CRenderedPropertyPage::CRenderedPropertyPage;
    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;
    // Stores the feed; refuses to finish, after saying why, when it cannot.
    std::intptr_t OnWizardFinish() override;
};

// Runs the wizard for the player; the stored feed's subkey name, empty when it was cancelled.
std::string RunAddFeedWizard(QWidget* parent, const std::string& udn, const std::string& model);

// Shows the stored feed's sheet; true when changes were applied and stored.
bool RunFeedSheet(QWidget* parent, const FeedEntry& feed, const std::string& udn,
                  const std::string& model);

} // namespace velk
