// The "Time Options" page: the date and the time picture of the player being configured, each
// chosen from the locale's candidates (shown as today's date and the time now written with
// them) or "(No Date)" / "(No Time)". Apply writes both into the time provider; the
// configuration side persists them with the player's device state. Built by the page sheet when
// first shown; GUI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "providers/time/time_format_settings.h"
#include "ui/rendered_property_page.h"

#include <QObject>

class QComboBox;

namespace velk {

class CTimeConfigPage : public CRenderedPropertyPage {
public:
    static constexpr const char* kTitle = "Time Options";
    static constexpr int kDialogId = 100;

    // The page record for the provider object owner (an ITimeFormatSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CTimeConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;

private:
    const std::shared_ptr<ITimeFormatSettings> settings_;
    // The candidates, in the lists' order after their first item.
    const std::vector<std::string> date_pictures_;
    const std::vector<std::string> time_pictures_;
    QComboBox* date_list_;
    QComboBox* time_list_;
    // The context of the lists' connections: they end with the page object, which goes before
    // its widgets.
    QObject connections_;
};

} // namespace velk
