// "Select Server Type", the add-account wizard's first page: the kinds of mail server, of which
// only POP3 can be chosen (the others are shown disabled). GUI thread only.
#pragma once

#include "ui/rendered_property_page.h"

namespace velk {

class CAddMailServerWizardTypePage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 3102;

    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CAddMailServerWizardTypePage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnSetActive() override;
};

} // namespace velk
