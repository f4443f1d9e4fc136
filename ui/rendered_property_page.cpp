#include "ui/rendered_property_page.h"

#include <string>

#include "ui/guarded_call.h"

namespace velk {
namespace {

// The answer of a page whose operation threw: whatever keeps the user's work where it is.
// Cancelling stays possible, so that a broken page never traps the user in its sheet.
std::intptr_t RefusalFor(int code)
{
    switch (code) {
    case PSN_SETACTIVE:
    case PSN_WIZBACK:
    case PSN_WIZNEXT:
        return -1;
    case PSN_KILLACTIVE:
    case PSN_WIZFINISH:
        return 1;
    case PSN_APPLY:
        return PSNRET_INVALID;
    default:
        return 0;
    }
}

} // namespace

CRenderedPropertyPage::CRenderedPropertyPage(QWidget* window, IPropertySheet& sheet,
                                             const PropSheetPage& page)
    : window_(window), sheet_(sheet), page_(page)
{
}

std::intptr_t CRenderedPropertyPage::Notify(int code)
{
    std::intptr_t result = RefusalFor(code);
    const std::string subject = "page \"" + page_.title + "\"";
    GuardedCall(subject.c_str(), "a notification", [&] { result = Answer(code); });
    return result;
}

std::intptr_t CRenderedPropertyPage::Answer(int code)
{
    switch (code) {
    case PSN_SETACTIVE:
        return OnSetActive() != 0 ? 0 : -1;
    case PSN_KILLACTIVE:
        return OnKillActive() != 0 ? 0 : 1;
    case PSN_APPLY:
        return OnApply() != 0 ? PSNRET_NOERROR : PSNRET_INVALID;
    case PSN_WIZBACK:
        return OnWizardBack();
    case PSN_WIZNEXT:
        return OnWizardNext();
    case PSN_WIZFINISH:
        return OnWizardFinish();
    case PSN_QUERYCANCEL:
        return OnQueryCancel();
    default:
        return 0;
    }
}

} // namespace velk
