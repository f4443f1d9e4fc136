// The "Advanced" page of a player: its boot and standby modes, the display and output options
// and the WMA threshold, read with GetOption once the readiness check lets the page fill itself,
// and written with SetOption on Apply. Built by the sheet when first shown; GUI thread only.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "shell/player_page.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace velk {

class CAdvancedPage : public CPlayerPage {
public:
    static constexpr const char* kTitle = "Advanced";
    static constexpr int kDialogId = 219;

    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CAdvancedPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnApply() override;

protected:
    void Fill() override;
    QString UnreachableText() const override;

private:
    // The player's answers, in the order of the page's option table; nullopt where it failed.
    using OptionValues = std::vector<std::optional<std::string>>;
    void ShowOptions(const OptionValues& values);

    std::array<QComboBox*, 2> modes_;
    std::vector<QCheckBox*> checks_;
    QSpinBox* wma_threshold_;
    bool filled_ = false;
    QObject connections_;
};

} // namespace velk
