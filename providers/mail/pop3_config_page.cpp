#include "providers/mail/pop3_config_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "providers/mail/mail_server.h"
#include "providers/mail/mail_strings.h"

namespace velk {

namespace {

// The connection choices, in the list's order.
constexpr std::pair<MailSecurity, const char*> kSecurities[] = {
    {MailSecurity::Plain, "None (POP3)"},
    {MailSecurity::Tls, "TLS from the start (POP3S)"},
    {MailSecurity::StartTls, "TLS after connecting (STLS)"},
};
constexpr int kMaxFieldChars = 256;

} // namespace

HPROPSHEETPAGE CPOP3ConfigPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kPop3PageTitle;
    record.template_id = kDialogId;
    record.header_title = kPop3Header;
    record.header_subtitle = kPop3Subtitle;
    record.lParam = owner;
    return PageRecord<CPOP3ConfigPage>(std::move(record));
}

CPOP3ConfigPage::CPOP3ConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      draft_(std::dynamic_pointer_cast<MailServerDraft>(page.lParam)), user_(new QLineEdit(window)),
      password_(new QLineEdit(window)), host_(new QLineEdit(window)), security_(new QComboBox(window)),
      port_(new QSpinBox(window)), trusted_(new QPlainTextEdit(window))
{
    user_->setObjectName("user");
    password_->setObjectName("password");
    host_->setObjectName("host");
    security_->setObjectName("security");
    port_->setObjectName("port");
    trusted_->setObjectName("trusted");
    for (auto* field : {user_, password_, host_})
        field->setMaxLength(kMaxFieldChars);
    password_->setEchoMode(QLineEdit::Password);
    for (const auto& [security, text] : kSecurities)
        security_->addItem(QString::fromUtf8(text), static_cast<int>(security));
    port_->setRange(1, 65535);
    trusted_->setPlaceholderText("-----BEGIN CERTIFICATE-----");
    auto* layout = new QFormLayout(window);
    layout->addRow("&User Name:", user_);
    layout->addRow("&Password:", password_);
    layout->addRow("&Incoming Mail Server:", host_);
    layout->addRow("&Connection:", security_);
    layout->addRow("P&ort:", port_);
    layout->addRow("&Trusted certificate:", trusted_);
}

std::intptr_t CPOP3ConfigPage::OnInitDialog()
{
    const MailServerSettings settings = draft_ ? draft_->settings : MailServerSettings{};
    user_->setText(QString::fromStdString(settings.user_name));
    password_->setText(QString::fromStdString(settings.password));
    host_->setText(QString::fromStdString(settings.host));
    security_->setCurrentIndex(security_->findData(static_cast<int>(settings.security)));
    port_->setValue(settings.port);
    trusted_->setPlainText(QString::fromStdString(settings.trusted_pem));
    // Connected after filling: only the user's edits count as changes.
    for (auto* field : {user_, password_, host_})
        QObject::connect(field, &QLineEdit::textEdited, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(security_, &QComboBox::currentIndexChanged, &connections_, [this] {
        // Each kind of connection has its usual port.
        const auto security = static_cast<MailSecurity>(security_->currentData().toInt());
        port_->setValue(CPOP3Server::DefaultPort(security));
        sheet().Changed(*this);
    });
    QObject::connect(port_, &QSpinBox::valueChanged, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(trusted_, &QPlainTextEdit::textChanged, &connections_, [this] { sheet().Changed(*this); });
    return 1;
}

std::intptr_t CPOP3ConfigPage::OnSetActive()
{
    sheet().SetWizButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return 1;
}

std::intptr_t CPOP3ConfigPage::OnApply()
{
    return Store() ? 1 : 0;
}

std::intptr_t CPOP3ConfigPage::OnWizardFinish()
{
    return Store() ? 0 : 1;
}

bool CPOP3ConfigPage::Store()
{
    const QString host = host_->text().trimmed();
    const QString trusted = trusted_->toPlainText().trimmed();
    const char* problem = nullptr;
    if (host.isEmpty())
        problem = kServerRequired;
    else if (!trusted.isEmpty() && (!trusted.contains("-----BEGIN CERTIFICATE-----") ||
                                    static_cast<std::size_t>(trusted.size()) > CPOP3Server::kMaxTrustedPemBytes))
        problem = kCertificateUnreadable;
    if (problem) {
        QMessageBox::warning(sheet().window(), QString::fromUtf8(kMailCaption), QString::fromUtf8(problem));
        return false;
    }
    if (!draft_)
        return true;
    draft_->settings.host = host.toStdString();
    draft_->settings.user_name = user_->text().toStdString();
    draft_->settings.password = password_->text().toStdString();
    draft_->settings.security = static_cast<MailSecurity>(security_->currentData().toInt());
    draft_->settings.port = static_cast<std::uint16_t>(port_->value());
    draft_->settings.trusted_pem = trusted.isEmpty() ? std::string() : trusted.toStdString() + "\n";
    draft_->applied = true;
    return true;
}

} // namespace velk
