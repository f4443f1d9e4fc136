#include "ui/data_server_config_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "rcp/telnet_session.h"

namespace velk {

namespace {

// The player's fonts; none when it cannot be reached.
std::vector<FontFamily> ReadFonts(const std::string& host)
{
    CTelnetSession shell;
    std::vector<std::string> reply;
    if (FAILED(shell.Connect(CTelnetSession::kPlayerPort, host)) ||
        FAILED(shell.SendCommand("sketch -c font list\r\n", true, &reply)))
        return {};
    shell.SendCommand("sketch -c quit\r\n", true);
    return ParseFontList(reply);
}

} // namespace

HPROPSHEETPAGE CDataServerConfigPage::Record(const std::shared_ptr<DataServerSettings>& settings)
{
    PropSheetPage record;
    record.title = "General";
    record.template_id = kDialogId;
    record.lParam = settings;
    return PageRecord<CDataServerConfigPage>(std::move(record));
}

CDataServerConfigPage::CDataServerConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::static_pointer_cast<DataServerSettings>(page.lParam))
{
}

std::intptr_t CDataServerConfigPage::OnInitDialog()
{
    family_ = new QComboBox;
    family_->setObjectName("family");
    family_->setMinimumContentsLength(12); // "System Font" whole, before the fonts arrive
    family_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    size_ = new QComboBox;
    size_->setObjectName("size");
    timeout_ = new QSpinBox;
    timeout_->setObjectName("timeout");
    timeout_->setRange(kMinTimeoutSeconds, kMaxTimeoutSeconds);
    timeout_->setValue(std::clamp(static_cast<int>(settings_->header.menu_timeout_ms / 1000),
                                  kMinTimeoutSeconds, kMaxTimeoutSeconds));
    auto* seconds = new QLabel("(Seconds)");
    auto* explanation = new QLabel(
        "After EXIT on the remote, the Melodeck shows its own menus for this long before the "
        "content comes back.");
    explanation->setWordWrap(true);

    auto* fonts = new QHBoxLayout;
    fonts->addWidget(family_, 1);
    fonts->addWidget(size_);
    auto* timeout = new QHBoxLayout;
    timeout->addWidget(timeout_);
    timeout->addWidget(seconds);
    timeout->addStretch();
    auto* timeout_label = new QLabel("Timeout for underlying menus:");
    auto* form = new QFormLayout;
    form->addRow("Font:", fonts);
    form->addRow(timeout_label, timeout);
    auto* layout = new QVBoxLayout(window());
    layout->addLayout(form);
    layout->addWidget(explanation);
    layout->addStretch();

    // A small display shows one font size only: nothing to choose.
    const bool fixed_font = settings_->player.model_number == "KD-10";
    family_->setEnabled(!fixed_font);
    size_->setEnabled(!fixed_font);
    for (QWidget* widget : std::initializer_list<QWidget*>{timeout_, seconds, explanation, timeout_label})
        widget->setEnabled(!settings_->for_event);

    QObject::connect(family_, &QComboBox::activated, &connections_, [this] {
        FillSizes(0);
        sheet().Changed(*this);
    });
    QObject::connect(size_, &QComboBox::activated, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(timeout_, &QSpinBox::valueChanged, &connections_, [this] { sheet().Changed(*this); });

    reader_ = std::thread([this, host = settings_->host] {
        auto families = ReadFonts(host);
        QMetaObject::invokeMethod(&connections_, [this, families = std::move(families)]() mutable {
            ShowFonts(std::move(families));
        }, Qt::QueuedConnection);
    });
    return 1;
}

void CDataServerConfigPage::OnDestroy()
{
    if (reader_.joinable())
        reader_.join();
}

void CDataServerConfigPage::ShowFonts(std::vector<FontFamily> families)
{
    families_ = std::move(families);
    family_->clear();
    int selected = 0;
    for (std::size_t i = 0; i < families_.size(); ++i) {
        family_->addItem(QString::fromStdString(families_[i].name));
        for (const FontVariant& variant : families_[i].variants) {
            if (variant.number == settings_->header.font)
                selected = static_cast<int>(i);
        }
    }
    family_->setCurrentIndex(families_.empty() ? -1 : selected);
    FillSizes(settings_->header.font);
}

void CDataServerConfigPage::FillSizes(std::uint16_t selected_font)
{
    size_->clear();
    const int family = family_->currentIndex();
    if (family < 0 || family >= static_cast<int>(families_.size()))
        return;
    const int largest = MaxFontSize(settings_->player.model_number);
    for (const FontVariant& variant : families_[family].variants) {
        if (variant.size > largest)
            continue;
        size_->addItem(QString::number(variant.size), variant.number);
        if (variant.number == selected_font)
            size_->setCurrentIndex(size_->count() - 1);
    }
    if (size_->currentIndex() < 0 && size_->count() > 0)
        size_->setCurrentIndex(0);
}

std::intptr_t CDataServerConfigPage::OnApply()
{
    if (size_->currentIndex() >= 0)
        settings_->header.font = static_cast<std::uint16_t>(size_->currentData().toUInt());
    if (!settings_->for_event)
        settings_->header.menu_timeout_ms = static_cast<std::uint32_t>(timeout_->value()) * 1000;
    return 1;
}

} // namespace velk
