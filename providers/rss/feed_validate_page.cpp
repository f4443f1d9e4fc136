#include "providers/rss/feed_validate_page.h"

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QVBoxLayout>

#include "platform/http_get.h"
#include "providers/rss/feed_page_record.h"
#include "providers/rss/rss_strings.h"

namespace velk {

namespace {

constexpr const char* kSubtitle = "The address is checked for a news feed.";
constexpr const char* kValidating = "Validating RSS Feed....";
constexpr const char* kChooseLink = "This page refers to several feeds. Please choose one:";
constexpr const char* kFound = "Found the feed \"%1\". Click Next to go on.";
// A feed address is checked within this time (the provider's downloads have a minute).
constexpr std::uint32_t kCheckTimeoutMs = 30000;

} // namespace

HPROPSHEETPAGE CAddFeedWizardValidatePage::Record(const std::shared_ptr<FeedDraft>& draft)
{
    return FeedPageRecord<CAddFeedWizardValidatePage>(draft, true, kRssWizardTitle, kSubtitle);
}

CAddFeedWizardValidatePage::CAddFeedWizardValidatePage(QWidget* window, IPropertySheet& sheet,
                                                       const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      draft_(std::dynamic_pointer_cast<FeedDraft>(page.lParam)),
      status_(new QLabel(window)),
      progress_(new QProgressBar(window)),
      warning_(new QLabel(window)),
      links_(new QListWidget(window))
{
    status_->setObjectName("status");
    status_->setWordWrap(true);
    progress_->setObjectName("progress");
    progress_->setRange(0, 0); // busy
    progress_->setTextVisible(false);
    warning_->setObjectName("warning");
    warning_->setWordWrap(true);
    links_->setObjectName("links");
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(links_);
    layout->addWidget(warning_);
    layout->addStretch();
    QObject::connect(links_, &QListWidget::currentRowChanged, &connections_, [this](int row) {
        if (row >= 0)
            Start(links_->item(row)->data(Qt::UserRole).toString().toStdString(), false);
    });
}

CAddFeedWizardValidatePage::~CAddFeedWizardValidatePage()
{
    Stop();
}

std::intptr_t CAddFeedWizardValidatePage::OnSetActive()
{
    links_->clear();
    links_->hide();
    std::string url;
    if (draft_ && draft_->renderer)
        draft_->renderer->get_URL(url);
    Start(url, true);
    return 1;
}

std::intptr_t CAddFeedWizardValidatePage::OnKillActive()
{
    Stop();
    return 1;
}

std::intptr_t CAddFeedWizardValidatePage::OnWizardNext()
{
    return found_ ? 0 : -1;
}

std::intptr_t CAddFeedWizardValidatePage::OnQueryCancel()
{
    Stop();
    return 0;
}

void CAddFeedWizardValidatePage::OnDestroy()
{
    Stop();
}

void CAddFeedWizardValidatePage::Start(const std::string& url, bool follow_links)
{
    Stop();
    found_ = false;
    status_->setText(QString::fromUtf8(kValidating));
    warning_->clear();
    progress_->show();
    sheet().SetWizButtons(PSWIZB_BACK);

    HttpRequest request;
    request.url = url;
    request.timeout_ms = kCheckTimeoutMs;
    std::string username;
    if (draft_ && draft_->renderer && SUCCEEDED(draft_->renderer->get_Username(username)) &&
        !username.empty()) {
        request.username = username;
        draft_->renderer->get_Password(request.password);
    }
    cancel_ = std::make_shared<Event>();
    request.cancel = cancel_.get();
    // The worker is joined before the page and its connections_ go; an answer still queued
    // then goes with connections_.
    worker_ = std::thread([this, request, follow_links, cancel = cancel_] {
        HttpResponse response;
        std::string error;
        const HRESULT hr = HttpGet(request, response, error);
        if (hr == E_ABORT || cancel->IsSet())
            return;
        FeedValidation result;
        if (SUCCEEDED(hr))
            result = ValidateFeedAnswer(request.url, response);
        else
            result.message = error;
        // Answers of a check the page has stopped meanwhile are dropped.
        QMetaObject::invokeMethod(
            &connections_,
            [this, url = request.url, result = std::move(result), follow_links, cancel] {
                if (!cancel->IsSet())
                    Show(url, result, follow_links);
            },
            Qt::QueuedConnection);
    });
}

void CAddFeedWizardValidatePage::Stop()
{
    if (cancel_)
        cancel_->Set();
    if (worker_.joinable())
        worker_.join();
    progress_->hide();
}

void CAddFeedWizardValidatePage::Show(const std::string& url, const FeedValidation& result,
                                      bool follow_links)
{
    if (worker_.joinable())
        worker_.join();
    progress_->hide();
    switch (result.outcome) {
    case FeedValidation::Outcome::Feed:
        found_ = true;
        if (draft_) {
            draft_->renderer->put_URL(url);
            if (draft_->title.empty() || draft_->title == draft_->proposed_title)
                draft_->title = result.title;
            draft_->proposed_title = result.title;
        }
        status_->setText(QString(kFound).arg(QString::fromStdString(result.title)));
        warning_->setText(QString::fromStdString(result.warning));
        sheet().SetWizButtons(PSWIZB_BACK | PSWIZB_NEXT);
        return;
    case FeedValidation::Outcome::Links:
        if (follow_links && result.links.size() == 1) {
            Start(result.links.front().href, false);
            return;
        }
        status_->setText(QString::fromUtf8(kChooseLink));
        links_->clear();
        {
            const QSignalBlocker quiet(links_);
            for (const auto& link : result.links) {
                auto* item = new QListWidgetItem(QString::fromStdString(link.title), links_);
                item->setData(Qt::UserRole, QString::fromStdString(link.href));
                item->setToolTip(QString::fromStdString(link.href));
            }
        }
        links_->show();
        return;
    case FeedValidation::Outcome::Failed:
        status_->setText(QString::fromStdString(result.message));
        return;
    }
}

} // namespace velk
