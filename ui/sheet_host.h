// What the property sheet and the wizard share: a dialog over a stack of pages that opens on
// the first page accepting activation, cancels through the current page's PSN_QUERYCANCEL,
// queues PressButton clicks, and destroys every built page when it closes. A host runs once.
// GUI thread only; the host owns its pages, their widgets and their records.
#pragma once

#include <cstdint>

#include <QDialog>

#include "ui/sheet_pages.h"

class QAbstractButton;
class QStackedWidget;

namespace velk {

class SheetHost : public QDialog, public IPropertySheet {
    Q_OBJECT

public:
    ~SheetHost() override;

    // The host's page adder, for callers that pass it on to page handlers; it refuses pages
    // once the host has closed or gone.
    AddPropSheetPageFn adder();
    // The page shown; -1 before the host opens or without pages.
    int CurrentIndex() const { return current_; }

    std::intptr_t QuerySiblings(std::intptr_t wParam, std::intptr_t lParam) override;
    bool PressButton(int button) override;
    bool AddPage(const HPROPSHEETPAGE& page) override;
    bool InsertPage(int index, const HPROPSHEETPAGE& page) override;
    bool RemovePage(int index) override;
    int IndexOf(const CRenderedPropertyPage& page) const override { return pages_.IndexOf(page); }
    void CancelToClose() override;
    QWidget* window() override { return this; }
    using QWidget::window;

    // Cancel, Esc and the window's close: PSN_QUERYCANCEL to the current page, then closes.
    void reject() override;
    void done(int result) override;

protected:
    explicit SheetHost(QWidget* parent);

    void showEvent(QShowEvent* event) override;

    // The host's button for a PSBTN_* value; null when it has none.
    virtual QAbstractButton* Button(int button) const = 0;
    // A page was put at `index`; those after it moved up by one.
    virtual void PageAdded(int /*index*/) {}
    // The page at `index` went; those after it moved down by one.
    virtual void PageRemoved(int /*index*/) {}
    // Before PSN_SETACTIVE reaches the page at `index`.
    virtual void PreparePage(int /*index*/) {}
    // The page at `index` has become the current one.
    virtual void PageShown(int /*index*/) {}

    // Leaves the current page for `target`, skipping refusing pages by `step`.
    void MoveTo(int target, int step);
    // Makes `index` the current page, without notifying it.
    void ShowPage(int index);
    // Derived destructors call this first: pages may still call the sheet while destroyed.
    void DestroyPages();

    SheetPages& pages() { return pages_; }
    const SheetPages& pages() const { return pages_; }
    QStackedWidget* stack() const { return stack_; }
    bool started() const { return started_; }
    bool closed() const { return closed_; }

private:
    void Open();

    QStackedWidget* stack_;
    SheetPages pages_;
    int current_ = -1;
    bool started_ = false;
    bool closed_ = false;
};

} // namespace velk
