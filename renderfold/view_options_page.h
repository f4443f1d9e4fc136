// "Media Renderers": what double-clicking a renderer does, the user's setting (HKCU), written
// on apply. GUI thread only.
#pragma once

#include <QObject>

#include "ui/rendered_property_page.h"

class QRadioButton;

namespace velk {

class CViewOptionsPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 107;

    static HPROPSHEETPAGE Record();

    CViewOptionsPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;

private:
    QRadioButton* web_page_;
    QRadioButton* property_page_;
    QObject connections_;
};

} // namespace velk
