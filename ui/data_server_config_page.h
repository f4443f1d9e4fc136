// "General", the first page of a provider's "Velk Data Server Properties" sheet: the font the
// service writes the provider's text in (the player's own fonts, as many sizes as its display
// shows) and how long the player's menus stay after EXIT before content returns. The fonts are
// read from the player in the background; a player that cannot be reached leaves them empty.
// GUI thread only.
#pragma once

#include <memory>
#include <thread>
#include <vector>

#include <QObject>

#include "ui/data_server_settings.h"
#include "ui/font_families.h"
#include "ui/rendered_property_page.h"

class QComboBox;
class QSpinBox;

namespace velk {

class CDataServerConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 107;
    static constexpr int kMinTimeoutSeconds = 5;
    static constexpr int kMaxTimeoutSeconds = 6000;

    static HPROPSHEETPAGE Record(const std::shared_ptr<DataServerSettings>& settings);

    CDataServerConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;
    void OnDestroy() override;

private:
    void ShowFonts(std::vector<FontFamily> families);
    void FillSizes(std::uint16_t selected_font);

    const std::shared_ptr<DataServerSettings> settings_;
    std::vector<FontFamily> families_;
    std::thread reader_;
    QObject connections_;
    QComboBox* family_;
    QComboBox* size_;
    QSpinBox* timeout_;
};

} // namespace velk
