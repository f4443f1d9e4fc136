#include "ui/sheet_host.h"

#include <exception>

#include <QAbstractButton>
#include <QStackedWidget>
#include <QTimer>

namespace velk {

SheetHost::SheetHost(QWidget* parent)
    : QDialog(parent), stack_(new QStackedWidget(this)), pages_(*this)
{
}

SheetHost::~SheetHost()
{
    DestroyPages();
}

void SheetHost::DestroyPages()
{
    closed_ = true;
    pages_.DestroyAll();
}

AddPropSheetPageFn SheetHost::adder()
{
    return [host = QPointer<SheetHost>(this)](const HPROPSHEETPAGE& page) {
        return host && host->AddPage(page);
    };
}

std::intptr_t SheetHost::QuerySiblings(std::intptr_t wParam, std::intptr_t lParam)
{
    return pages_.QuerySiblings(wParam, lParam);
}

bool SheetHost::PressButton(int button)
{
    QAbstractButton* target = closed_ ? nullptr : Button(button);
    if (!target)
        return false;
    // The button is the timer's context: a host deleted meanwhile takes the click with it.
    QTimer::singleShot(0, target, &QAbstractButton::click);
    return true;
}

bool SheetHost::AddPage(const HPROPSHEETPAGE& page)
{
    return InsertPage(pages_.count(), page);
}

bool SheetHost::InsertPage(int index, const HPROPSHEETPAGE& page)
{
    if (!page || closed_ || index < 0 || index > pages_.count())
        return false;
    try {
        auto* widget = new QWidget;
        stack_->insertWidget(index, widget);
        pages_.Insert(index, page, widget);
    } catch (const std::exception& e) {
        qWarning("velk: cannot add page \"%s\": %s", page->title.c_str(), e.what());
        return false;
    }
    if (current_ >= index)
        ++current_;
    PageAdded(index);
    if (started_ && current_ < 0)
        Open();
    return true;
}

bool SheetHost::RemovePage(int index)
{
    if (closed_ || index < 0 || index >= pages_.count() || index == current_)
        return false;
    pages_.Remove(index);
    if (current_ > index)
        --current_;
    PageRemoved(index);
    return true;
}

void SheetHost::CancelToClose()
{
    if (QAbstractButton* cancel = Button(PSBTN_CANCEL))
        cancel->setEnabled(false);
}

void SheetHost::reject()
{
    // After CancelToClose there is nothing left to cancel: only Close leaves the sheet.
    const QAbstractButton* cancel = Button(PSBTN_CANCEL);
    if (closed_ || (cancel && !cancel->isEnabled()))
        return;
    if (pages_.Notify(current_, PSN_QUERYCANCEL) != 0 || closed_)
        return;
    done(Rejected);
}

void SheetHost::done(int result)
{
    closed_ = true;
    QDialog::done(result);
    pages_.DestroyAll();
}

void SheetHost::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_ || closed_)
        return;
    started_ = true;
    Open();
    // The first page is built as the sheet shows: the sheet takes the size it asks for.
    if (!closed_)
        adjustSize();
}

void SheetHost::Open()
{
    const int index = pages_.Open([this](int i) { PreparePage(i); });
    if (index >= 0 && !closed_)
        ShowPage(index);
}

void SheetHost::MoveTo(int target, int step)
{
    if (current_ < 0 || closed_)
        return;
    const int index = pages_.Move(current_, target, step, [this](int i) { PreparePage(i); });
    if (!closed_)
        ShowPage(index);
}

void SheetHost::ShowPage(int index)
{
    current_ = index;
    stack_->setCurrentIndex(index);
    PageShown(index);
}

} // namespace velk
