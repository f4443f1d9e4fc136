#include "ui/property_sheet.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace velk {

namespace {

// Page indices after pages moved: those from `from` on move by `by`.
std::set<int> Renumbered(const std::set<int>& indices, int from, int by)
{
    std::set<int> moved;
    for (int index : indices)
        moved.insert(index >= from ? index + by : index);
    return moved;
}

} // namespace

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : SheetHost(parent), tabs_(new QTabBar(this)), ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)), apply_(new QPushButton(tr("&Apply"), this))
{
    setWindowTitle(caption);
    ok_->setObjectName("ok");
    cancel_->setObjectName("cancel");
    apply_->setObjectName("apply");
    ok_->setDefault(true);
    apply_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(stack(), 1);
    layout->addLayout(buttons);

    connect(tabs_, &QTabBar::currentChanged, this, &PropertySheet::SelectTab);
    connect(ok_, &QPushButton::clicked, this, &PropertySheet::accept);
    connect(cancel_, &QPushButton::clicked, this, &PropertySheet::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { ApplyAll(); });
}

PropertySheet::~PropertySheet()
{
    DestroyPages();
}

int PropertySheet::Run()
{
    if (!closed())
        exec();
    return applied_ ? 1 : 0;
}

void PropertySheet::Changed(CRenderedPropertyPage& page)
{
    const int index = pages().IndexOf(page);
    if (index < 0)
        return;
    changed_.insert(index);
    apply_->setEnabled(true);
}

void PropertySheet::Unchanged(CRenderedPropertyPage& page)
{
    changed_.erase(pages().IndexOf(page));
    apply_->setEnabled(!changed_.empty());
}

void PropertySheet::CancelToClose()
{
    SheetHost::CancelToClose();
    ok_->setText(tr("Close"));
}

void PropertySheet::accept()
{
    if (!closed() && ApplyAll())
        done(Accepted);
}

QAbstractButton* PropertySheet::Button(int button) const
{
    switch (button) {
    case PSBTN_OK:
        return ok_;
    case PSBTN_APPLYNOW:
        return apply_;
    case PSBTN_CANCEL:
        return cancel_;
    default:
        return nullptr;
    }
}

void PropertySheet::PageAdded(int index)
{
    const QSignalBlocker quiet(tabs_);
    tabs_->insertTab(index, QString::fromStdString(pages().record(index).title));
    tabs_->setCurrentIndex(CurrentIndex());
    changed_ = Renumbered(changed_, index, 1);
}

void PropertySheet::PageRemoved(int index)
{
    const QSignalBlocker quiet(tabs_);
    tabs_->removeTab(index);
    tabs_->setCurrentIndex(CurrentIndex());
    changed_.erase(index);
    changed_ = Renumbered(changed_, index, -1);
    apply_->setEnabled(!changed_.empty());
}

void PropertySheet::PageShown(int index)
{
    const QSignalBlocker quiet(tabs_);
    tabs_->setCurrentIndex(index);
}

void PropertySheet::SelectTab(int index)
{
    const int current = CurrentIndex();
    if (!started() || index < 0 || index == current)
        return;
    MoveTo(index, index > current ? 1 : -1);
}

bool PropertySheet::ApplyAll()
{
    const int current = CurrentIndex();
    if (pages().Notify(current, PSN_KILLACTIVE) != 0 || closed())
        return false;
    for (int i = 0; i < pages().count(); ++i) {
        if (!pages().built(i))
            continue;
        const std::intptr_t result = pages().Notify(i, PSN_APPLY);
        if (closed())
            return false;
        if (result == PSNRET_NOERROR) {
            // Settings have been written: the caller learns it even if a later page refuses.
            applied_ = true;
            continue;
        }
        // The refusing page is shown with its error; the page we were on has already been
        // told that it is left.
        if (i != current) {
            pages().Notify(i, PSN_SETACTIVE);
            if (!closed())
                ShowPage(i);
        }
        return false;
    }
    changed_.clear();
    apply_->setEnabled(false);
    return true;
}

} // namespace velk
