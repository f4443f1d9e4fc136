// The add-feed wizard's check of the feed's address: a worker fetches it and tells what it
// found (a feed, with its title proposed and a warning for old formats; the feeds a web page
// links to, offered in a list; or what is wrong). Next is offered once a feed was found.
// Leaving the page stops the worker and waits for it. GUI thread only, but for the worker.
#pragma once

#include <memory>
#include <thread>

#include <QObject>

#include "platform/event.h"
#include "providers/rss/feed_entry.h"
#include "providers/rss/feed_validation.h"
#include "ui/rendered_property_page.h"

class QLabel;
class QListWidget;
class QProgressBar;

namespace velk {

class CAddFeedWizardValidatePage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2302;

    static HPROPSHEETPAGE Record(const std::shared_ptr<FeedDraft>& draft);

    CAddFeedWizardValidatePage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);
    ~CAddFeedWizardValidatePage() override;

    std::intptr_t OnSetActive() override;
    std::intptr_t OnKillActive() override;
    std::intptr_t OnWizardNext() override;
    std::intptr_t OnQueryCancel() override;
    void OnDestroy() override;

private:
    // Fetches url on the worker; a web page's only feed link is followed when follow_links.
    void Start(const std::string& url, bool follow_links);
    void Stop();
    void Show(const std::string& url, const FeedValidation& result, bool follow_links);

    const std::shared_ptr<FeedDraft> draft_;
    QLabel* status_;
    QProgressBar* progress_;
    QLabel* warning_;
    QListWidget* links_;
    std::thread worker_;
    std::shared_ptr<Event> cancel_;
    bool found_ = false;
    QObject connections_; // the worker's answers go through it, and end with the page
};

} // namespace velk
