#include "shell/advanced_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace velk {

namespace {

struct ModeChoice {
    const char* word;
    const char* text;
};

struct ModeOption {
    const char* option;
    const char* label;
    const char* name;
    std::vector<ModeChoice> choices;
};

const ModeOption kModeOptions[] = {
    {"bootMode",
     "Boot Mode:",
     "boot_mode",
     {{"lastState", "Last State"},
      {"standby", "Standby"},
      {"lastSource", "Last Source"},
      {"serverList", "Server List"}}},
    {"standbyMode", "Standby Mode:", "standby_mode", {{"clock", "Show Time"}, {"screenOff", "Screen Off"}}},
};

struct CheckOption {
    const char* option;
    const char* label;
};

constexpr CheckOption kCheckOptions[] = {
    {"outputMultichannel", "Multi-channel digital output"},
    {"revertToNowPlaying", "Revert to Now-playing"},
    {"scrollLongInfo", "Scroll long information"},
    {"displayComposer", "Display Composer"},
    {"skipUnchecked", "Skip unchecked tracks (iTunes only)"},
};

constexpr const char* kWmaThreshold = "wmaThreshold";
constexpr int kMaxWmaThreshold = 400;
constexpr const char* kUnreachable =
    "This Melodeck cannot be reached. Check that it is switched on and connected to the network.";

// Every option the page reads, in the order of OptionValues: the modes, the checks, the
// threshold.
std::vector<std::string> OptionNames()
{
    std::vector<std::string> names;
    for (const auto& mode : kModeOptions)
        names.emplace_back(mode.option);
    for (const auto& check : kCheckOptions)
        names.emplace_back(check.option);
    names.emplace_back(kWmaThreshold);
    return names;
}

} // namespace

HPROPSHEETPAGE CAdvancedPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CAdvancedPage>(std::move(record));
}

CAdvancedPage::CAdvancedPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CPlayerPage(window, sheet, page), wma_threshold_(new QSpinBox(body()))
{
    auto* form = new QFormLayout;
    for (std::size_t i = 0; i < modes_.size(); ++i) {
        const ModeOption& mode = kModeOptions[i];
        modes_[i] = new QComboBox(body());
        modes_[i]->setObjectName(mode.name);
        for (const ModeChoice& choice : mode.choices)
            modes_[i]->addItem(QObject::tr(choice.text), QString::fromUtf8(choice.word));
        modes_[i]->setCurrentIndex(-1);
        form->addRow(QObject::tr(mode.label), modes_[i]);
    }
    auto* layout = new QVBoxLayout(body());
    layout->addLayout(form);
    for (const CheckOption& check : kCheckOptions) {
        auto* box = new QCheckBox(QObject::tr(check.label), body());
        box->setObjectName(check.option);
        checks_.push_back(box);
        layout->addWidget(box);
    }
    wma_threshold_->setRange(0, kMaxWmaThreshold);
    if (auto* edit = wma_threshold_->findChild<QLineEdit*>())
        edit->setObjectName(kWmaThreshold);
    auto* threshold = new QFormLayout;
    threshold->addRow(QObject::tr("WMA Threshold:"), wma_threshold_);
    layout->addLayout(threshold);
    layout->addStretch();
}

QString CAdvancedPage::UnreachableText() const
{
    return QObject::tr(kUnreachable);
}

void CAdvancedPage::Fill()
{
    body()->setEnabled(false);
    worker().Run<OptionValues>(
        [](CControlSession& session) {
            OptionValues values;
            for (const std::string& name : OptionNames()) {
                std::string value;
                if (SUCCEEDED(session.Execute("GetOption", name, &value)))
                    values.emplace_back(std::move(value));
                else
                    values.emplace_back();
            }
            return values;
        },
        [this](OptionValues& values) { ShowOptions(values); });
}

void CAdvancedPage::ShowOptions(const OptionValues& values)
{
    std::size_t next = 0;
    for (QComboBox* mode : modes_) {
        if (const auto& word = values[next++])
            mode->setCurrentIndex(mode->findData(QString::fromStdString(*word)));
    }
    for (QCheckBox* check : checks_) {
        if (const auto& value = values[next++])
            check->setChecked(*value == "1");
    }
    if (const auto& value = values[next++])
        wma_threshold_->setValue(QString::fromStdString(*value).toInt());
    // Connected once filled: only the user's changes count.
    for (QComboBox* mode : modes_) {
        QObject::connect(mode, &QComboBox::currentIndexChanged, &connections_,
                         [this] { sheet().Changed(*this); });
    }
    for (QCheckBox* check : checks_)
        QObject::connect(check, &QCheckBox::toggled, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(wma_threshold_, &QSpinBox::textChanged, &connections_,
                     [this] { sheet().Changed(*this); });
    body()->setEnabled(true);
    filled_ = true;
}

std::intptr_t CAdvancedPage::OnApply()
{
    if (!filled_)
        return 1;
    std::vector<std::string> settings;
    for (std::size_t i = 0; i < checks_.size(); ++i)
        settings.push_back(std::string(kCheckOptions[i].option) + (checks_[i]->isChecked() ? " 1" : " 0"));
    settings.push_back(std::string(kWmaThreshold) + " " + wma_threshold_->text().toStdString());
    for (std::size_t i = 0; i < modes_.size(); ++i)
        settings.push_back(std::string(kModeOptions[i].option) + " " +
                           modes_[i]->currentData().toString().toStdString());
    // The sheet waits for the player (it may close next), refusing input meanwhile.
    QWidget* sheet_window = sheet().window();
    sheet_window->setEnabled(false);
    worker().RunAndWait<HRESULT>([settings](CControlSession& session) {
        // An option the player refuses is passed over: the others still count.
        for (const std::string& setting : settings)
            session.Execute("SetOption", setting);
        return S_OK;
    });
    sheet_window->setEnabled(true);
    return 1;
}

} // namespace velk
