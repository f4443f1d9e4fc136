#include "providers/rss/add_feed_wizard.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "providers/rss/feed_page_record.h"
#include "providers/rss/feed_parser_page.h"
#include "providers/rss/feed_validate_page.h"
#include "providers/rss/rss_strings.h"
#include "ui/property_sheet.h"
#include "ui/wizard.h"

namespace velk {

namespace {

constexpr const char* kWelcome =
    "<h3>Add a news feed</h3><p>This wizard adds an RSS or Atom news feed to the feeds of this "
    "computer and shows it on the player.</p><p>You need the address of the feed, or of a web "
    "page that refers to it.</p><p>Click Next to go on.</p>";
constexpr const char* kTitlePrompt = "Please enter a title by which to refer to this RSS or Atom feed";
constexpr const char* kTitleSubtitle = "The feed's title";
constexpr const char* kFinished =
    "<h3>Ready to add the feed</h3><p>Click Finish to add <b>%1</b> and show it on the player.</p>";
constexpr const char* kNotStored = "The feed could not be stored: %1";

FeedDraft& DraftOf(const CRenderedPropertyPage& page)
{
    return *std::dynamic_pointer_cast<FeedDraft>(page.page_sheet_data().lParam);
}

QLabel* RichText(QWidget* window, const QString& text)
{
    auto* label = new QLabel(text, window);
    label->setObjectName("text");
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    return label;
}

} // namespace

std::intptr_t CAddFeedWizardStartPage::OnInitDialog()
{
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(RichText(window(), kWelcome));
    layout->addStretch();
    return 1;
}

std::intptr_t CAddFeedWizardTitlePage::OnInitDialog()
{
    auto* field = new QLineEdit(window());
    field->setObjectName("title");
    auto* label = new QLabel(QString::fromUtf8(kTitlePrompt), window());
    label->setWordWrap(true);
    label->setBuddy(field);
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addStretch();
    return 1;
}

std::intptr_t CAddFeedWizardTitlePage::OnSetActive()
{
    window()->findChild<QLineEdit*>("title")->setText(QString::fromStdString(DraftOf(*this).title));
    return 1;
}

std::intptr_t CAddFeedWizardTitlePage::OnWizardNext()
{
    const QString title = window()->findChild<QLineEdit*>("title")->text().trimmed();
    if (title.isEmpty()) {
        QMessageBox::warning(sheet().window(), QString::fromUtf8(kRssCaption),
                             QString::fromUtf8(kTitleMissing));
        return -1;
    }
    DraftOf(*this).title = title.toStdString();
    return 0;
}

std::intptr_t CAddFeedWizardEndPage::OnInitDialog()
{
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(RichText(window(), {}));
    layout->addStretch();
    return 1;
}

std::intptr_t CAddFeedWizardEndPage::OnSetActive()
{
    window()->findChild<QLabel*>("text")->setText(
        QString(kFinished).arg(QString::fromStdString(DraftOf(*this).title).toHtmlEscaped()));
    sheet().SetWizButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return 1;
}

std::intptr_t CAddFeedWizardEndPage::OnWizardFinish()
{
    const HRESULT hr = StoreFeed(DraftOf(*this));
    if (SUCCEEDED(hr))
        return 0;
    QMessageBox::warning(sheet().window(), QString::fromUtf8(kRssCaption),
                         QString(kNotStored).arg(QString::fromStdString(HResultMessage(hr))));
    return 1;
}

std::string RunAddFeedWizard(QWidget* parent, const std::string& udn, const std::string& model)
{
    auto draft = std::make_shared<FeedDraft>();
    draft->udn = udn;
    draft->model = model;
    Wizard wizard(parent);
    wizard.setMinimumSize(520, 360);
    wizard.AddPage(
        FeedPageRecord<CAddFeedWizardStartPage>(draft, true, kRssWizardTitle, "", true));
    wizard.AddPage(CAddFeedWizardParserPage::Record(draft));
    // The renderer's pages come in here, from the parser page.
    wizard.AddPage(CAddFeedWizardValidatePage::Record(draft));
    wizard.AddPage(
        FeedPageRecord<CAddFeedWizardTitlePage>(draft, true, kRssWizardTitle, kTitleSubtitle));
    wizard.AddPage(FeedPageRecord<CAddFeedWizardEndPage>(draft, true, kRssWizardTitle, "", true));
    return wizard.Run() == 1 ? draft->key_name : std::string();
}

bool RunFeedSheet(QWidget* parent, const FeedEntry& feed, const std::string& udn,
                  const std::string& model)
{
    auto draft = std::make_shared<FeedDraft>();
    draft->udn = udn;
    draft->model = model;
    draft->key_name = feed.key_name;
    draft->title = feed.title;
    draft->parser = feed.parser;
    draft->renderer = MakeRenderer(feed.parser, udn, model, feed.key_name);
    draft->wizard_mode = false;
    PropertySheet sheet(QString::fromUtf8(kRssWizardTitle), parent);
    sheet.AddPage(CAddFeedWizardParserPage::Record(draft));
    // The pages store into the draft as they apply; the feed is written once they all have.
    if (sheet.Run() != 1)
        return false;
    const HRESULT hr = StoreFeed(*draft);
    if (FAILED(hr))
        QMessageBox::warning(parent, QString::fromUtf8(kRssCaption),
                             QString(kNotStored).arg(QString::fromStdString(HResultMessage(hr))));
    return SUCCEEDED(hr);
}

} // namespace velk
