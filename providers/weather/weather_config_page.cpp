#include "providers/weather/weather_config_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "providers/rss/feed_page_record.h"

namespace velk {

namespace {

constexpr const char* kCaption = "Weather";
constexpr const char* kConfigureTitle = "Settings";
constexpr const char* kSubtitle = "Please enter the ZIP or location code you want the weather for. "
                                  "Look up location codes on Yahoo!";
constexpr const char* kLiveSubtitle = "Please choose the place you want the weather for. "
                                      "Weather data by Open-Meteo.com.";
constexpr const char* kWizardPrompt = "Please enter your ZIP or location code:";
constexpr const char* kConfigurePrompt =
    "Please enter your ZIP or location code (location codes are listed on the weather "
    "service's web site):";
constexpr const char* kNoLocation = "Please enter a valid US Zip code.";
constexpr const char* kPlacePrompt =
    "Please enter the place you want the weather for, and look it up; or enter its latitude and "
    "longitude (52.52, 13.41):";
constexpr const char* kNoPlace = "Please look the place up, or enter its latitude and longitude.";
constexpr const char* kLookUp = "&Look up";
constexpr const char* kLookingUp = "Looking up...";
constexpr const char* kTooManyItems = "You must select a maximum of %1 data items. Both pressure "
                                      "and wind speed count as two items.";

struct ItemBox {
    WeatherItem item;
    const char* label;
    const char* name;
};
constexpr ItemBox kItemBoxes[] = {
    {kItemPressure, "Pressure", "pressure"},      {kItemTemperature, "Temperature", "temperature"},
    {kItemHumidity, "Humidity", "humidity"},      {kItemVisibility, "Visibility", "visibility"},
    {kItemWindChill, "Wind Chill", "chill"},      {kItemWindSpeed, "Wind Speed", "speed"},
    {kItemSunrise, "Sunrise", "sunrise"},         {kItemSunset, "Sunset", "sunset"},
};

} // namespace

HPROPSHEETPAGE CYahooConfigPage::Record(const UnknownPtr& owner, bool wizard_mode)
{
    auto settings = std::dynamic_pointer_cast<IWeatherRendererSettings>(owner);
    const bool live = settings && settings->LiveSource();
    return FeedPageRecord<CYahooConfigPage>(owner, wizard_mode, kConfigureTitle,
                                                live ? kLiveSubtitle : kSubtitle);
}

CYahooConfigPage::CYahooConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<IWeatherRendererSettings>(page.lParam)),
      wizard_page_(settings_ && settings_->WizardMode()),
      location_field_(new QLineEdit(window)),
      units_box_(new QComboBox(window))
{
    location_field_->setObjectName("location");
    location_field_->setMaxLength(static_cast<int>(WeatherSettings::kMaxLocationBytes));
    units_box_->setObjectName("units");
    for (int units = 0; units < kWeatherUnitsCount; ++units)
        units_box_->addItem(QString::fromUtf8(UnitsName(static_cast<WeatherUnits>(units))));

    auto* layout = new QVBoxLayout(window);
    const bool live = settings_ && settings_->LiveSource();
    auto* prompt = new QLabel(
        QString::fromUtf8(live ? kPlacePrompt : wizard_page_ ? kWizardPrompt : kConfigurePrompt), window);
    prompt->setWordWrap(true);
    prompt->setBuddy(location_field_);
    layout->addWidget(prompt);
    if (live) {
        look_up_ = new QPushButton(kLookUp, window);
        look_up_->setObjectName("lookup");
        auto* row = new QHBoxLayout;
        row->addWidget(location_field_, 1);
        row->addWidget(look_up_);
        layout->addLayout(row);
    } else {
        layout->addWidget(location_field_);
    }
    auto* units_row = new QFormLayout();
    units_row->addRow("Display &Units:", units_box_);
    layout->addLayout(units_row);

    auto* group = new QGroupBox("Current conditions:", window);
    auto* grid = new QGridLayout(group);
    for (std::size_t i = 0; i < item_boxes_.size(); ++i) {
        item_boxes_[i] = new QCheckBox(kItemBoxes[i].label, group);
        item_boxes_[i]->setObjectName(kItemBoxes[i].name);
        grid->addWidget(item_boxes_[i], static_cast<int>(i % 4), static_cast<int>(i / 4));
    }
    layout->addWidget(group);
    layout->addStretch();
}

std::intptr_t CYahooConfigPage::OnInitDialog()
{
    if (settings_) {
        const WeatherSettings& settings = settings_->Settings();
        location_field_->setText(QString::fromStdString(settings.location));
        units_box_->setCurrentIndex(static_cast<int>(settings.units));
        for (std::size_t i = 0; i < item_boxes_.size(); ++i)
            item_boxes_[i]->setChecked((settings.items & kItemBoxes[i].item) != 0);
    }
    QObject::connect(location_field_, &QLineEdit::textEdited, &connections_, [this] { OnEdited(); });
    QObject::connect(units_box_, &QComboBox::activated, &connections_, [this] { OnEdited(); });
    for (auto* box : item_boxes_)
        QObject::connect(box, &QCheckBox::clicked, &connections_, [this] { OnEdited(); });
    if (look_up_)
        QObject::connect(look_up_, &QPushButton::clicked, &connections_, [this] { LookUp(); });
    return 1;
}

void CYahooConfigPage::OnDestroy()
{
    lookup_.Stop();
}

void CYahooConfigPage::LookUp()
{
    const std::string name = location_field_->text().trimmed().toStdString();
    if (name.empty())
        return;
    look_up_->setEnabled(false);
    look_up_->setText(kLookingUp);
    lookup_.Start(name, [this](const std::optional<WeatherPlace>& place, const std::string& reason) {
        look_up_->setEnabled(true);
        look_up_->setText(kLookUp);
        if (!place) {
            QMessageBox::warning(sheet().window(), kCaption, QString::fromStdString(reason));
            return;
        }
        location_field_->setText(QString::fromStdString(FormatWeatherPlace(*place)));
        OnEdited();
    });
}

bool CYahooConfigPage::CheckLocation()
{
    const std::string location = location_field_->text().trimmed().toStdString();
    const bool live = settings_ && settings_->LiveSource();
    if (live ? ParseWeatherPlace(location).has_value() : !location.empty())
        return true;
    QMessageBox::warning(sheet().window(), kCaption, live ? kNoPlace : kNoLocation);
    location_field_->setFocus();
    return false;
}

std::intptr_t CYahooConfigPage::OnSetActive()
{
    UpdateWizardButtons();
    return 1;
}

std::intptr_t CYahooConfigPage::OnApply()
{
    if (settings_ && settings_->LiveSource() && !CheckLocation())
        return 0;
    const int room = settings_ ? MaxWeightedItems(settings_->Model()) : 8;
    const std::uint32_t items = CheckedItems();
    if (WeightedItemCount(items) > room) {
        if (!warned_) {
            warned_ = true;
            QMessageBox::warning(sheet().window(), kCaption, QString(kTooManyItems).arg(room));
        }
        return 0;
    }
    Store(items);
    return 1;
}

std::intptr_t CYahooConfigPage::OnWizardNext()
{
    if (!CheckLocation())
        return -1;
    Store(CheckedItems());
    return 0;
}

void CYahooConfigPage::OnEdited()
{
    warned_ = false;
    sheet().Changed(*this);
    UpdateWizardButtons();
}

void CYahooConfigPage::UpdateWizardButtons()
{
    if (wizard_page_)
        sheet().SetWizButtons(PSWIZB_BACK |
                              (location_field_->text().trimmed().isEmpty() ? 0 : PSWIZB_NEXT));
}

std::uint32_t CYahooConfigPage::CheckedItems() const
{
    std::uint32_t items = 0;
    for (std::size_t i = 0; i < item_boxes_.size(); ++i) {
        if (item_boxes_[i]->isChecked())
            items |= kItemBoxes[i].item;
    }
    return items;
}

void CYahooConfigPage::Store(std::uint32_t items)
{
    if (!settings_)
        return;
    WeatherSettings settings = settings_->Settings();
    settings.location = location_field_->text().trimmed().toStdString();
    settings.units = static_cast<WeatherUnits>(units_box_->currentIndex());
    settings.items = items;
    settings_->SetSettings(std::move(settings));
}

} // namespace velk
