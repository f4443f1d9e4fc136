#include "providers/rss/feed_parser_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>

#include "platform/class_registry.h"
#include "providers/rss/feed_page_record.h"
#include "providers/rss/generic_rss_renderer.h"
#include "providers/rss/rss_strings.h"

namespace velk {

namespace {

constexpr const char* kSubtitle = "Please select the parser to interpret the RSS/Atom feed.";
constexpr const char* kTabTitle = "Parser";
constexpr const char* kNoRenderer = "The parser %1 cannot be loaded. Please choose another.";

} // namespace

HPROPSHEETPAGE CAddFeedWizardParserPage::Record(const std::shared_ptr<FeedDraft>& draft)
{
    return FeedPageRecord<CAddFeedWizardParserPage>(draft, draft->wizard_mode, kTabTitle,
                                                    kSubtitle);
}

CAddFeedWizardParserPage::CAddFeedWizardParserPage(QWidget* window, IPropertySheet& sheet,
                                                   const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      draft_(std::dynamic_pointer_cast<FeedDraft>(page.lParam)),
      wizard_page_(!draft_ || draft_->wizard_mode),
      parser_box_(new QComboBox(window))
{
    parser_box_->setObjectName("parsers");
    auto* layout = new QFormLayout(window);
    if (!wizard_page_) {
        name_field_ = new QLineEdit(window);
        name_field_->setObjectName("name");
        layout->addRow("&Name:", name_field_);
    }
    layout->addRow("&Parser:", parser_box_);
}

std::intptr_t CAddFeedWizardParserPage::OnInitDialog()
{
    if (!draft_)
        return 1;
    std::vector<Guid> classes;
    ClassRegistry::ClassesOfCategory(CATID_VelkRSSParsers, classes);
    int selected = -1;
    for (const Guid& clsid : classes) {
        std::string name;
        if (FAILED(ClassRegistry::UserTypeName(clsid, name)) || name.empty())
            name = clsid.ToString();
        if (clsid == draft_->parser || (selected < 0 && clsid == CLSID_GenericRSSRenderer))
            selected = static_cast<int>(parsers_.size());
        parsers_.push_back(clsid);
        parser_box_->addItem(QString::fromStdString(name));
    }
    if (name_field_) {
        name_field_->setText(QString::fromStdString(draft_->title));
        QObject::connect(name_field_, &QLineEdit::textEdited, &connections_,
                         [this] { sheet().Changed(*this); });
    }
    if (!parsers_.empty()) {
        parser_box_->setCurrentIndex(std::max(selected, 0));
        // The feed's own renderer, as stored, comes with the draft; another is made here.
        if (!draft_->renderer || draft_->parser != parsers_[parser_box_->currentIndex()])
            Choose(parser_box_->currentIndex());
        else
            Choose(-1);
    }
    QObject::connect(parser_box_, &QComboBox::currentIndexChanged, &connections_, [this](int index) {
        Choose(index);
        sheet().Changed(*this);
    });
    return 1;
}

void CAddFeedWizardParserPage::Choose(int index)
{
    if (index >= 0) {
        draft_->parser = parsers_.at(index);
        draft_->renderer = MakeRenderer(draft_->parser, draft_->udn, draft_->model);
    }
    IPropertySheet& host = sheet();
    const int at = host.IndexOf(*this) + 1;
    for (; renderer_pages_ > 0; --renderer_pages_)
        host.RemovePage(at);
    if (!draft_->renderer)
        return;
    draft_->renderer->AddPages(
        [this, &host, at](const HPROPSHEETPAGE& page) {
            if (!host.InsertPage(at + renderer_pages_, page))
                return false;
            ++renderer_pages_;
            return true;
        },
        wizard_page_);
}

std::intptr_t CAddFeedWizardParserPage::OnApply()
{
    if (!draft_ || !name_field_)
        return 1;
    const QString title = name_field_->text().trimmed();
    if (title.isEmpty()) {
        QMessageBox::warning(sheet().window(), QString::fromUtf8(kRssCaption),
                             QString::fromUtf8(kTitleMissing));
        return 0;
    }
    draft_->title = title.toStdString();
    return 1;
}

std::intptr_t CAddFeedWizardParserPage::OnWizardNext()
{
    if (draft_ && draft_->renderer)
        return 0;
    QMessageBox::warning(sheet().window(), QString::fromUtf8(kRssCaption),
                         QString::fromUtf8(kNoRenderer).arg(parser_box_->currentText()));
    return -1;
}

} // namespace velk
