// The base of every property-sheet and wizard page: a derived page fills the page's widget and
// answers the sheet's notifications through the virtual operations below; Notify turns those
// answers into the results the sheets act on. The sheet builds the page object when the page is
// first shown and deletes it when the sheet closes. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "velk/property_sheet_page.h"

class QWidget;

namespace velk {

// The notifications a sheet sends to its pages.
constexpr int PSN_SETACTIVE = -200;
constexpr int PSN_KILLACTIVE = -201;
constexpr int PSN_APPLY = -202;
constexpr int PSN_WIZBACK = -206;
constexpr int PSN_WIZNEXT = -207;
constexpr int PSN_WIZFINISH = -208;
constexpr int PSN_QUERYCANCEL = -209;

// PSN_APPLY results.
constexpr std::intptr_t PSNRET_NOERROR = 0;
constexpr std::intptr_t PSNRET_INVALID = 1;

// SetWizButtons flags.
constexpr unsigned PSWIZB_BACK = 1;
constexpr unsigned PSWIZB_NEXT = 2;
constexpr unsigned PSWIZB_FINISH = 4;
constexpr unsigned PSWIZB_DISABLEDFINISH = 8;

// PressButton buttons.
constexpr int PSBTN_BACK = 0;
constexpr int PSBTN_NEXT = 1;
constexpr int PSBTN_FINISH = 2;
constexpr int PSBTN_OK = 3;
constexpr int PSBTN_APPLYNOW = 4;
constexpr int PSBTN_CANCEL = 5;

// What a page may ask of the sheet or wizard that shows it.
class IPropertySheet {
public:
    virtual ~IPropertySheet() = default;

    // The page has changes not yet applied: the sheet enables Apply.
    virtual void Changed(CRenderedPropertyPage& page) = 0;
    // The page's changes are gone again: Apply is disabled once no page has any.
    virtual void Unchanged(CRenderedPropertyPage& page) = 0;
    // Changes since the last apply cannot be undone: Cancel is disabled and OK reads "Close".
    virtual void CancelToClose() = 0;
    // Asks every built page in order; the first non-zero answer stops the query and is
    // returned, 0 when no page answers.
    virtual std::intptr_t QuerySiblings(std::intptr_t wParam, std::intptr_t lParam) = 0;
    // Wizards: which of Back, Next and Finish are enabled (PSWIZB_*). A sheet with tabs
    // ignores it.
    virtual void SetWizButtons(unsigned flags) = 0;
    // Queues a click on a button (PSBTN_*), done once the event loop runs, as if the user had
    // clicked it; false when the host has no such button or has closed.
    virtual bool PressButton(int button) = 0;
    // Appends a page, also while the sheet runs; false when the sheet cannot take it.
    virtual bool AddPage(const HPROPSHEETPAGE& page) = 0;
    // Puts a page at `index` (0 to the number of pages), also while the sheet runs; false when
    // the sheet cannot take it there.
    virtual bool InsertPage(int index, const HPROPSHEETPAGE& page) = 0;
    // Takes out the page at `index` (destroying it when built); the page shown cannot go.
    virtual bool RemovePage(int index) = 0;
    // Where a page of this sheet is; -1 for none.
    virtual int IndexOf(const CRenderedPropertyPage& page) const = 0;
    // The sheet's own window: the parent of the pages' message boxes.
    virtual QWidget* window() = 0;
};

class CRenderedPropertyPage {
public:
    // `window` is the page's widget, still empty; `page` is the record the page was made from,
    // held by the sheet for longer than the page object lives.
    CRenderedPropertyPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);
    virtual ~CRenderedPropertyPage() = default;
    CRenderedPropertyPage(const CRenderedPropertyPage&) = delete;
    CRenderedPropertyPage& operator=(const CRenderedPropertyPage&) = delete;

    // Called just before the page object is deleted.
    virtual void OnDestroy() {}
    // Called once, right after construction and before the first PSN_SETACTIVE: derived pages
    // fill their controls here.
    virtual std::intptr_t OnInitDialog() { return 1; }
    // Non-zero accepts the activation.
    virtual std::intptr_t OnSetActive() { return 1; }
    // Non-zero lets the page be left.
    virtual std::intptr_t OnKillActive() { return 1; }
    // Non-zero: the changes were applied.
    virtual std::intptr_t OnApply() { return 1; }
    // 0 goes on, -1 stays, any other value is the template_id of the page to go to.
    virtual std::intptr_t OnWizardNext() { return 0; }
    virtual std::intptr_t OnWizardBack() { return 0; }
    // Non-zero refuses the finish.
    virtual std::intptr_t OnWizardFinish() { return 0; }
    // Non-zero refuses the cancel.
    virtual std::intptr_t OnQueryCancel() { return 0; }
    // A sibling query reaching this page: non-zero stops the query and becomes its answer.
    virtual std::intptr_t OnQuerySiblings(std::intptr_t /*wParam*/, std::intptr_t /*lParam*/)
    {
        return 0;
    }

    // The result of a sheet notification (PSN_*), from the matching operation. An operation
    // that throws refuses: the page is not left, not applied, not finished. Unknown codes: 0.
    std::intptr_t Notify(int code);

    QWidget* window() const { return window_; }
    IPropertySheet& sheet() const { return sheet_; }
    const PropSheetPage& page_sheet_data() const { return page_; }

private:
    std::intptr_t Answer(int code);

    QWidget* window_;
    IPropertySheet& sheet_;
    const PropSheetPage& page_;
};

// The record of a page whose object is a Page, built on the page's widget when it is first
// shown; `record` says everything else (its create is set here).
template <class Page> HPROPSHEETPAGE PageRecord(PropSheetPage record)
{
    record.create = [](QWidget* window, IPropertySheet& sheet, const PropSheetPage& page) {
        return std::unique_ptr<CRenderedPropertyPage>(std::make_unique<Page>(window, sheet, page));
    };
    return std::make_shared<const PropSheetPage>(std::move(record));
}

} // namespace velk
