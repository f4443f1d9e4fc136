#include "ui/sheet_pages.h"

#include <string>
#include <utility>

#include "ui/guarded_call.h"

namespace velk {
namespace {

template <class Fn> void Guarded(const PropSheetPage& record, const char* what, Fn&& fn)
{
    const std::string subject = "page \"" + record.title + "\"";
    GuardedCall(subject.c_str(), what, std::forward<Fn>(fn));
}

} // namespace

SheetPages::Call::~Call()
{
    if (--pages_.calls_ == 0 && pages_.destroy_pending_)
        pages_.DestroyNow();
}

SheetPages::~SheetPages()
{
    DestroyAll();
}

void SheetPages::Add(HPROPSHEETPAGE record, QWidget* widget)
{
    Insert(count(), std::move(record), widget);
}

void SheetPages::Insert(int index, HPROPSHEETPAGE record, QWidget* widget)
{
    pages_.insert(pages_.begin() + index,
                  std::make_unique<Page>(Page{std::move(record), widget, nullptr, false}));
}

void SheetPages::Remove(int index)
{
    std::unique_ptr<Page> page = std::move(pages_.at(index));
    pages_.erase(pages_.begin() + index);
    DestroyPage(*page);
}

void SheetPages::DestroyPage(Page& page)
{
    if (page.object) {
        Guarded(*page.record, "OnDestroy", [&] { page.object->OnDestroy(); });
        page.object.reset();
    }
    delete page.widget.data();
}

int SheetPages::IndexOf(const CRenderedPropertyPage& page) const
{
    for (int i = 0; i < count(); ++i) {
        if (pages_[i]->object.get() == &page)
            return i;
    }
    return -1;
}

int SheetPages::IndexOfTemplate(std::intptr_t template_id) const
{
    for (int i = 0; i < count(); ++i) {
        if (pages_[i]->record->template_id == template_id)
            return i;
    }
    return -1;
}

std::intptr_t SheetPages::Notify(int index, int code)
{
    if (destroyed() || index < 0 || index >= count() || !pages_[index]->object)
        return 0;
    Call call(*this);
    return pages_[index]->object->Notify(code);
}

void SheetPages::Build(int index)
{
    Page& page = *pages_[index];
    if (page.built || destroyed())
        return;
    page.built = true;
    if (!page.record->create || !page.widget)
        return;
    Call call(*this);
    // Controls made inside a widget already shown stay hidden: the page's widget is hidden
    // while the page makes them (the first page of a wizard is built as the wizard shows).
    const bool shown = page.widget->isVisible();
    page.widget->hide();
    Guarded(*page.record, "create",
            [&] { page.object = page.record->create(page.widget, sheet_, *page.record); });
    if (page.object)
        Guarded(*page.record, "OnInitDialog", [&] { page.object->OnInitDialog(); });
    if (shown && !destroyed())
        page.widget->show();
}

int SheetPages::FirstAccepting(int from, int step, const Prepare& prepare)
{
    for (int i = from; i >= 0 && i < count() && !destroyed(); i += step) {
        Build(i);
        if (prepare)
            prepare(i);
        if (Notify(i, PSN_SETACTIVE) == 0)
            return i;
    }
    return -1;
}

int SheetPages::Open(const Prepare& prepare)
{
    const int accepted = FirstAccepting(0, 1, prepare);
    if (accepted >= 0 || count() == 0 || destroyed())
        return accepted;
    if (prepare)
        prepare(0);
    return 0;
}

int SheetPages::Move(int current, int target, int step, const Prepare& prepare)
{
    if (Notify(current, PSN_KILLACTIVE) != 0 || destroyed())
        return current;
    const int accepted = FirstAccepting(target, step, prepare);
    if (accepted >= 0 || destroyed())
        return accepted >= 0 ? accepted : current;
    // The page we left has had its PSN_KILLACTIVE; it is told that it is active again.
    if (prepare)
        prepare(current);
    Notify(current, PSN_SETACTIVE);
    return current;
}

std::intptr_t SheetPages::QuerySiblings(std::intptr_t wParam, std::intptr_t lParam)
{
    for (int i = 0; i < count() && !destroyed(); ++i) {
        Page& page = *pages_[i];
        if (!page.object)
            continue;
        Call call(*this);
        std::intptr_t answer = 0;
        Guarded(*page.record, "OnQuerySiblings",
                [&] { answer = page.object->OnQuerySiblings(wParam, lParam); });
        if (answer != 0)
            return answer;
    }
    return 0;
}

void SheetPages::DestroyAll()
{
    if (destroyed_)
        return;
    if (calls_ > 0) {
        destroy_pending_ = true;
        return;
    }
    DestroyNow();
}

void SheetPages::DestroyNow()
{
    destroyed_ = true;
    destroy_pending_ = false;
    for (auto& page : pages_)
        DestroyPage(*page);
}

} // namespace velk
