#include "providers/mail/add_mail_server_type_page.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "providers/mail/mail_strings.h"

namespace velk {

namespace {

// The kinds offered besides POP3, none of which can be chosen yet.
constexpr const char* kOtherTypes[] = {"IMAP", "HTTP"};

} // namespace

HPROPSHEETPAGE CAddMailServerWizardTypePage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kServerTypeTitle;
    record.template_id = kDialogId;
    record.header_title = kServerTypeHeader;
    record.header_subtitle = kServerTypeSubtitle;
    record.lParam = owner;
    return PageRecord<CAddMailServerWizardTypePage>(std::move(record));
}

CAddMailServerWizardTypePage::CAddMailServerWizardTypePage(QWidget* window, IPropertySheet& sheet,
                                                           const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page)
{
    auto* layout = new QVBoxLayout(window);
    auto* pop3 = new QRadioButton(QString::fromUtf8(kPop3Type), window);
    pop3->setObjectName("pop3");
    pop3->setChecked(true);
    layout->addWidget(pop3);
    for (const char* type : kOtherTypes) {
        auto* other = new QRadioButton(QString::fromUtf8(type), window);
        other->setObjectName(QString::fromUtf8(type).toLower());
        other->setEnabled(false);
        layout->addWidget(other);
    }
    layout->addStretch();
}

std::intptr_t CAddMailServerWizardTypePage::OnSetActive()
{
    sheet().SetWizButtons(PSWIZB_NEXT);
    return 1;
}

} // namespace velk
