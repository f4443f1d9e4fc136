#include "shell/initial_setup_wizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/rendered_property_page.h"
#include "ui/wizard.h"

namespace velk {

namespace {

constexpr int kChoicesPageId = 220;
constexpr int kTermsPageId = 221;
constexpr const char* kChoicesTitle = "Please configure your Velk Melodeck";
constexpr const char* kChoicesSubtitle =
    "The Melodeck needs to know where it is before it can be used.";
constexpr const char* kTermsTitle = "Configure your Velk Melodeck";
constexpr const char* kTermsSubtitle = "Please read the terms of service of the Melodeck's maker.";
constexpr const char* kTermsText =
    "The Melodeck's maker offers its services under <a href=\"%1\">these terms of service</a>.";
constexpr const char* kAgree = "I agree";

// The wizard's state, shared by its two pages.
class SetupOwner : public IUnknown {
public:
    explicit SetupOwner(InitialSetup initial) : setup(std::move(initial)) {}
    InitialSetup setup;
};

InitialSetup& SetupOf(const PropSheetPage& page)
{
    return std::dynamic_pointer_cast<SetupOwner>(page.lParam)->setup;
}

// A combo of the player's choices with its current one selected; disabled when the player
// does not need the step.
QComboBox* ChoiceList(QWidget* window, const char* name, const std::vector<std::string>& choices,
                      const std::string& current, bool required)
{
    auto* list = new QComboBox(window);
    list->setObjectName(name);
    for (const std::string& choice : choices)
        list->addItem(QString::fromStdString(choice));
    list->setCurrentIndex(list->findText(QString::fromStdString(current)));
    list->setEnabled(required);
    return list;
}

class CInitializeMelodeckPage : public CRenderedPropertyPage {
public:
    CInitializeMelodeckPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
        : CRenderedPropertyPage(window, sheet, page), setup_(SetupOf(page)),
          region_(ChoiceList(window, "region", setup_.regions, setup_.region, setup_.Requires("Region"))),
          time_zone_(ChoiceList(window, "time_zone", setup_.time_zones, setup_.time_zone,
                                setup_.Requires("TimeZone"))),
          language_(ChoiceList(window, "language", setup_.languages, setup_.language,
                               setup_.Requires("Language")))
    {
        auto* layout = new QFormLayout(window);
        layout->addRow(QObject::tr("Your country:"), region_);
        layout->addRow(QObject::tr("Your time zone:"), time_zone_);
        layout->addRow(QObject::tr("Your language:"), language_);
    }

    std::intptr_t OnWizardNext() override
    {
        setup_.region = region_->currentText().toStdString();
        setup_.time_zone = time_zone_->currentText().toStdString();
        setup_.language = language_->currentText().toStdString();
        return 0;
    }

private:
    InitialSetup& setup_;
    QComboBox* region_;
    QComboBox* time_zone_;
    QComboBox* language_;
};

class CTermsOfServicePage : public CRenderedPropertyPage {
public:
    CTermsOfServicePage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
        : CRenderedPropertyPage(window, sheet, page), setup_(SetupOf(page)),
          agree_(new QCheckBox(QObject::tr(kAgree), window))
    {
        agree_->setObjectName("agree");
        auto* layout = new QVBoxLayout(window);
        // The address comes from the player: only a web address is offered to open.
        const QUrl url(QString::fromStdString(setup_.terms_url));
        if (url.isValid() && (url.scheme() == "http" || url.scheme() == "https")) {
            auto* terms = new QLabel(QString::fromUtf8(kTermsText).arg(url.toString().toHtmlEscaped()), window);
            terms->setObjectName("terms");
            terms->setWordWrap(true);
            terms->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
            QObject::connect(terms, &QLabel::linkActivated, terms, [url] { QDesktopServices::openUrl(url); });
            layout->addWidget(terms);
        }
        layout->addWidget(agree_);
        layout->addStretch();
        QObject::connect(agree_, &QCheckBox::toggled, window, [this] { UpdateButtons(); });
    }

    std::intptr_t OnSetActive() override
    {
        UpdateButtons();
        return 1;
    }

    std::intptr_t OnWizardFinish() override
    {
        setup_.terms_accepted = agree_->isChecked();
        return 0;
    }

private:
    // Finish waits for "I agree" while the player needs the terms accepted.
    void UpdateButtons()
    {
        const bool may_finish = agree_->isChecked() || !setup_.Requires("TermsOfService");
        sheet().SetWizButtons(PSWIZB_BACK | (may_finish ? PSWIZB_FINISH : PSWIZB_DISABLEDFINISH));
    }

    InitialSetup& setup_;
    QCheckBox* agree_;
};

template <class Page>
HPROPSHEETPAGE SetupPage(const std::shared_ptr<SetupOwner>& owner, int id, const char* title,
                         const char* subtitle)
{
    PropSheetPage record;
    record.title = title;
    record.template_id = id;
    record.header_title = title;
    record.header_subtitle = subtitle;
    record.lParam = owner;
    return PageRecord<Page>(std::move(record));
}

} // namespace

bool RunInitialSetupWizard(QWidget* parent, InitialSetup& setup)
{
    auto owner = std::make_shared<SetupOwner>(setup);
    Wizard wizard(parent);
    wizard.setObjectName("initial_setup_wizard");
    wizard.AddPage(SetupPage<CInitializeMelodeckPage>(owner, kChoicesPageId, kChoicesTitle, kChoicesSubtitle));
    wizard.AddPage(SetupPage<CTermsOfServicePage>(owner, kTermsPageId, kTermsTitle, kTermsSubtitle));
    if (wizard.Run() != 1)
        return false;
    setup = owner->setup;
    return true;
}

} // namespace velk
