// The pages of a sheet or wizard host, in order: each page's record, its widget and its page
// object, which is built on the widget the first time the page is shown and destroyed (then
// the widget) when the host closes. The records, and with them the pages' owners, are held
// until this object goes. GUI thread only; owned by its host.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "ui/rendered_property_page.h"

namespace velk {

class SheetPages {
public:
    // Runs before each PSN_SETACTIVE, with the index of the page about to be asked.
    using Prepare = std::function<void(int index)>;

    explicit SheetPages(IPropertySheet& sheet) : sheet_(sheet) {}
    ~SheetPages();
    SheetPages(const SheetPages&) = delete;
    SheetPages& operator=(const SheetPages&) = delete;

    // `widget` belongs to the host's page stack; the page object is built on it when shown.
    void Add(HPROPSHEETPAGE record, QWidget* widget);
    // The same, at `index` (0 to count()): the pages from there on move up by one.
    void Insert(int index, HPROPSHEETPAGE record, QWidget* widget);
    // The page at `index` gets OnDestroy when built and goes, with its widget.
    void Remove(int index);

    int count() const { return static_cast<int>(pages_.size()); }
    const PropSheetPage& record(int index) const { return *pages_.at(index)->record; }
    bool built(int index) const { return pages_.at(index)->built; }
    // -1 when `page` is no page object of ours.
    int IndexOf(const CRenderedPropertyPage& page) const;
    // -1 when no page has that template id.
    int IndexOfTemplate(std::intptr_t template_id) const;

    // The page's result for a notification; 0 (accepting everything) for a page that is not
    // built or whose record built no object.
    std::intptr_t Notify(int index, int code);

    // The page to show when the host opens: the first that accepts activation, or the first
    // page when none does; -1 without pages.
    int Open(const Prepare& prepare);
    // Leaves page `current` for `target`: PSN_KILLACTIVE to `current` (a page that keeps itself
    // stays current), then PSN_SETACTIVE from `target` on, by `step` (+1 or -1), until a page
    // accepts. When none does, `current` is activated again. Returns the current page after.
    int Move(int current, int target, int step, const Prepare& prepare);

    std::intptr_t QuerySiblings(std::intptr_t wParam, std::intptr_t lParam);

    // Every built page gets OnDestroy and is deleted, then its widget. Asked while a page is
    // being called, it happens as soon as that call returns.
    void DestroyAll();
    bool destroyed() const { return destroyed_ || destroy_pending_; }

private:
    struct Page {
        HPROPSHEETPAGE record;
        QPointer<QWidget> widget;
        std::unique_ptr<CRenderedPropertyPage> object;
        bool built = false;
    };

    // Marks a call into page code, so that the pages are not destroyed under it.
    class Call {
    public:
        explicit Call(SheetPages& pages) : pages_(pages) { ++pages_.calls_; }
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        SheetPages& pages_;
    };

    void Build(int index);
    // -1 when no page from `from` on (by `step`) accepts.
    int FirstAccepting(int from, int step, const Prepare& prepare);
    void DestroyNow();

    void DestroyPage(Page& page);

    IPropertySheet& sheet_;
    // Each Page stays where it is while a page's own call adds or inserts pages.
    std::vector<std::unique_ptr<Page>> pages_;
    int calls_ = 0;
    bool destroy_pending_ = false;
    bool destroyed_ = false;
};

} // namespace velk
