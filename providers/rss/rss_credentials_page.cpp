#include "providers/rss/rss_credentials_page.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/url.h"
#include "providers/rss/feed_page_record.h"

namespace velk {

namespace {

constexpr const char* kConfigureTitle = "Credentials";
constexpr const char* kSubtitle = "Please enter the username and password to access this website";
constexpr const char* kPromptFormat = "Please enter the username for %1";

std::string RendererUrl(IRSSRenderer* renderer)
{
    std::string url;
    if (renderer)
        renderer->get_URL(url);
    return url;
}

} // namespace

bool IsHttpsFeed(std::string_view url)
{
    const auto parsed = ParseUrl(url);
    return parsed && parsed->scheme == "https";
}

HPROPSHEETPAGE CRssCredentialsPage::Record(const UnknownPtr& owner, bool wizard_mode)
{
    return FeedPageRecord<CRssCredentialsPage>(owner, wizard_mode, kConfigureTitle, kSubtitle);
}

CRssCredentialsPage::CRssCredentialsPage(QWidget* window, IPropertySheet& sheet,
                                         const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      renderer_(std::dynamic_pointer_cast<IRSSRenderer>(page.lParam)),
      settings_(std::dynamic_pointer_cast<IGenericRendererSettings>(page.lParam)),
      prompt_(new QLabel(window)), username_field_(new QLineEdit(window)),
      password_field_(new QLineEdit(window))
{
    prompt_->setObjectName("prompt");
    prompt_->setWordWrap(true);
    username_field_->setObjectName("username");
    username_field_->setMaxLength(kMaxUsernameLength);
    password_field_->setObjectName("password");
    password_field_->setMaxLength(kMaxPasswordLength);
    password_field_->setEchoMode(QLineEdit::Password);
    auto* layout = new QFormLayout(window);
    layout->addRow(prompt_);
    layout->addRow("User name:", username_field_);
    layout->addRow("Password:", password_field_);
}

std::intptr_t CRssCredentialsPage::OnInitDialog()
{
    if (renderer_ && settings_ && !settings_->WizardMode()) {
        std::string username;
        std::string password;
        renderer_->get_Username(username);
        renderer_->get_Password(password);
        username_field_->setText(QString::fromStdString(username));
        password_field_->setText(QString::fromStdString(password));
    }
    for (auto* field : {username_field_, password_field_}) {
        QObject::connect(field, &QLineEdit::textEdited, &connections_, [this] {
            sheet().Changed(*this);
            UpdateWizardButtons();
        });
    }
    return 1;
}

std::intptr_t CRssCredentialsPage::OnSetActive()
{
    const std::string url = RendererUrl(renderer_.get());
    const bool wizard = settings_ && settings_->WizardMode();
    // Only a feed served over HTTPS asks for credentials: the wizard goes past this page.
    if (wizard && !IsHttpsFeed(url))
        return 0;
    const auto parsed = ParseUrl(url);
    prompt_->setText(QString(kPromptFormat).arg(QString::fromStdString(parsed ? parsed->host : url)));
    UpdateWizardButtons();
    return 1;
}

std::intptr_t CRssCredentialsPage::OnApply()
{
    Store();
    return 1;
}

std::intptr_t CRssCredentialsPage::OnWizardNext()
{
    Store();
    return 0;
}

void CRssCredentialsPage::UpdateWizardButtons()
{
    if (!settings_ || !settings_->WizardMode())
        return;
    const bool both = !username_field_->text().isEmpty() && !password_field_->text().isEmpty();
    sheet().SetWizButtons(PSWIZB_BACK | (both ? PSWIZB_NEXT : 0));
}

void CRssCredentialsPage::Store()
{
    if (settings_)
        settings_->SetCredentials(username_field_->text().toStdString(),
                                  password_field_->text().toStdString());
}

} // namespace velk
