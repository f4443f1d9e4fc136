#include "providers/rss/rss_url_page.h"

#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "platform/url.h"
#include "providers/rss/feed_entry.h"
#include "providers/rss/feed_page_record.h"
#include "providers/rss/rss_credentials_page.h"
#include "providers/rss/rss_strings.h"

namespace velk {

namespace {

constexpr const char* kConfigureTitle = "URL";
constexpr const char* kSubtitle = "Please enter the URL for your RSS or Atom news feed";
constexpr const char* kInvalidUrl = "Please enter a valid URL";

} // namespace

HPROPSHEETPAGE CRssUrlPage::Record(const UnknownPtr& owner, bool wizard_mode)
{
    return FeedPageRecord<CRssUrlPage>(owner, wizard_mode, kConfigureTitle, kSubtitle);
}

CRssUrlPage::CRssUrlPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      renderer_(std::dynamic_pointer_cast<IRSSRenderer>(page.lParam)),
      settings_(std::dynamic_pointer_cast<IGenericRendererSettings>(page.lParam)),
      url_field_(new QLineEdit(window))
{
    const bool wizard_page = settings_ && settings_->WizardMode();
    url_field_->setObjectName("url");
    url_field_->setMaxLength(static_cast<int>(kMaxUrlLength));
    // The addresses of the feeds already there complete what is typed.
    QStringList known;
    for (const FeedEntry& feed : ReadFeedEntries({}, {})) {
        if (!feed.url.empty())
            known << QString::fromStdString(feed.url);
    }
    known.removeDuplicates();
    auto* completer = new QCompleter(known, url_field_);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    url_field_->setCompleter(completer);
    auto* layout = new QVBoxLayout(window);
    // The wizard's header already asks for the address.
    auto* label = new QLabel(wizard_page ? QString("&URL:") : QString::fromUtf8(kSubtitle), window);
    label->setBuddy(url_field_);
    layout->addWidget(label);
    layout->addWidget(url_field_);
    layout->addStretch();
}

std::intptr_t CRssUrlPage::OnInitDialog()
{
    QObject::connect(url_field_, &QLineEdit::textEdited, &connections_,
                     [this] { sheet().Changed(*this); });
    return 1;
}

std::intptr_t CRssUrlPage::OnSetActive()
{
    // A configured feed's field keeps what the user typed while other tabs are visited.
    if (settings_ && !settings_->WizardMode() && url_field_->isModified())
        return 1;
    std::string url;
    if (renderer_)
        renderer_->get_URL(url);
    url_field_->setText(QString::fromStdString(url));
    return 1;
}

std::intptr_t CRssUrlPage::OnKillActive()
{
    // A configured feed keeps a valid address: the page is not left with another.
    if (settings_ && !settings_->WizardMode())
        return CheckedUrl() ? 1 : 0;
    return 1;
}

std::intptr_t CRssUrlPage::OnApply()
{
    const auto url = CheckedUrl();
    if (!url)
        return 0;
    Store(url->canonical);
    return 1;
}

std::intptr_t CRssUrlPage::OnWizardNext()
{
    const auto url = CheckedUrl();
    if (!url)
        return -1;
    Store(url->canonical);
    if (settings_ && !IsHttpsFeed(url->canonical))
        settings_->SetCredentials({}, {});
    return 0;
}

std::optional<Url> CRssUrlPage::CheckedUrl()
{
    auto url = ParseUrl(url_field_->text().trimmed().toStdString());
    if (!url) {
        QMessageBox::warning(sheet().window(), QString::fromUtf8(kRssCaption),
                             QString::fromUtf8(kInvalidUrl));
        url_field_->setFocus();
    }
    return url;
}

void CRssUrlPage::Store(const std::string& url)
{
    if (renderer_)
        renderer_->put_URL(url);
    url_field_->setText(QString::fromStdString(url));
}

} // namespace velk
