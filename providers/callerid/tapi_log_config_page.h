// "Call logging": whether calls go to a text file (and which), to the event log, and whether a
// call pauses the music; the settings are the provider's, for every player. Apply writes them
// into the provider (the configuration side then saves its object state); file logging without
// a file name is refused with a warning. Built by the page sheet; GUI thread only.
#pragma once

#include <memory>

#include <QObject>

#include "providers/callerid/tapi_settings_access.h"
#include "ui/rendered_property_page.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace velk {

class CTAPILogConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 3701;

    // The page record for the provider owner (an ITapiSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CTAPILogConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;

private:
    void EnablePath();
    void Browse();

    const std::shared_ptr<ITapiSettings> settings_;
    QCheckBox* log_file_;
    QCheckBox* log_events_;
    QCheckBox* pause_;
    QLineEdit* path_;
    QPushButton* browse_;
    QObject connections_;
};

} // namespace velk
