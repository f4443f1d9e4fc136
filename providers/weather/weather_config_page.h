// The weather renderers' settings page: the location (for the live source a place, looked up by
// name or given by its coordinates), the unit system and the data items of the conditions
// screen, no more of them (by weight) than the player's display has room for.
// In the add-feed wizard Next stores them (and is offered only with a location); when a feed is
// configured, Apply stores them. GUI thread only.
#pragma once

#include <array>
#include <memory>

#include <QObject>

#include "providers/weather/place_lookup.h"
#include "providers/weather/weather_renderer_settings.h"
#include "ui/rendered_property_page.h"
#include "velk/rss_renderer.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velk {

class CYahooConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2201;

    static HPROPSHEETPAGE Record(const UnknownPtr& owner, bool wizard_mode);

    CYahooConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;
    std::intptr_t OnApply() override;
    std::intptr_t OnWizardNext() override;
    void OnDestroy() override;

private:
    void OnEdited();
    void UpdateWizardButtons();
    std::uint32_t CheckedItems() const;
    void Store(std::uint32_t items);
    // False, after telling the user, when the field holds no location the source can use.
    bool CheckLocation();
    void LookUp();

    const std::shared_ptr<IWeatherRendererSettings> settings_;
    const bool wizard_page_;
    QLineEdit* location_field_;
    QComboBox* units_box_;
    QPushButton* look_up_ = nullptr; // the live source's place lookup
    std::array<QCheckBox*, 8> item_boxes_{};
    // The too-many-items warning is given once after each change.
    bool warned_ = false;
    QObject connections_; // ends the controls' connections with the page object
    PlaceLookup lookup_{&connections_};
};

} // namespace velk
