// "POP3 Server": an account's user name, password (hidden), incoming mail server, and how it is
// reached (plain, POP3S or STLS, the port, a certificate trusted for it). As the add-account
// wizard's last page Finish stores the fields in the draft; as an account's settings tab Apply
// does. GUI thread only.
#pragma once

#include <memory>

#include <QObject>

#include "providers/mail/mail_server_draft.h"
#include "ui/rendered_property_page.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace velk {

class CPOP3ConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 3103;

    // The page record for a MailServerDraft owner.
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CPOP3ConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;
    std::intptr_t OnApply() override;
    std::intptr_t OnWizardFinish() override;

private:
    // Takes the fields into the draft; false, after telling the user, when they cannot be.
    bool Store();

    const std::shared_ptr<MailServerDraft> draft_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* host_;
    QComboBox* security_;
    QSpinBox* port_;
    QPlainTextEdit* trusted_;
    QObject connections_; // ends the fields' connections with the page object
};

} // namespace velk
