#include "ui/wizard.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace velk {
namespace {

constexpr std::intptr_t kStay = -1;

// Until a page says otherwise: Back except on the first page, Next, and Finish on the last.
unsigned DefaultButtons(int index, int count)
{
    unsigned flags = PSWIZB_NEXT;
    if (index > 0)
        flags |= PSWIZB_BACK;
    if (index == count - 1)
        flags |= PSWIZB_FINISH;
    return flags;
}

} // namespace

Wizard::Wizard(QWidget* parent)
    : SheetHost(parent), header_(new QWidget(this)), header_title_(new QLabel(header_)),
      header_subtitle_(new QLabel(header_)), watermark_(new QLabel(this)),
      back_(new QPushButton(tr("< &Back"), this)), next_(new QPushButton(tr("&Next >"), this)),
      finish_(new QPushButton(tr("Finish"), this)), cancel_(new QPushButton(tr("Cancel"), this))
{
    header_->setObjectName("header");
    header_title_->setObjectName("header_title");
    header_subtitle_->setObjectName("header_subtitle");
    watermark_->setObjectName("watermark");
    back_->setObjectName("back");
    next_->setObjectName("next");
    finish_->setObjectName("finish");
    cancel_->setObjectName("cancel");

    QFont bold = header_title_->font();
    bold.setBold(true);
    header_title_->setFont(bold);
    header_subtitle_->setWordWrap(true);
    header_subtitle_->setIndent(16);
    auto* header_layout = new QVBoxLayout(header_);
    header_layout->addWidget(header_title_);
    header_layout->addWidget(header_subtitle_);
    watermark_->setAlignment(Qt::AlignTop);
    watermark_->hide();

    auto* column = new QVBoxLayout;
    column->addWidget(header_);
    column->addWidget(stack(), 1);
    auto* body = new QHBoxLayout;
    body->addWidget(watermark_);
    body->addLayout(column, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addWidget(finish_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(line);
    layout->addLayout(buttons);

    SetWizButtons(0);
    connect(back_, &QPushButton::clicked, this, [this] { Travel(PSN_WIZBACK, -1); });
    connect(next_, &QPushButton::clicked, this, [this] { Travel(PSN_WIZNEXT, 1); });
    connect(finish_, &QPushButton::clicked, this, &Wizard::accept);
    connect(cancel_, &QPushButton::clicked, this, &Wizard::reject);
}

Wizard::~Wizard()
{
    DestroyPages();
}

void Wizard::SetWatermark(const QPixmap& picture)
{
    watermark_->setPixmap(picture);
    if (CurrentIndex() >= 0)
        PageShown(CurrentIndex());
}

int Wizard::Run()
{
    if (!closed())
        exec();
    return result() == Accepted ? 1 : 0;
}

void Wizard::SetWizButtons(unsigned flags)
{
    back_->setEnabled((flags & PSWIZB_BACK) != 0);
    next_->setEnabled((flags & PSWIZB_NEXT) != 0);
    const bool finish = (flags & PSWIZB_FINISH) != 0;
    finish_->setVisible(finish || (flags & PSWIZB_DISABLEDFINISH) != 0);
    finish_->setEnabled(finish);
    finish_->setDefault(finish);
    next_->setDefault(!finish);
}

QAbstractButton* Wizard::Button(int button) const
{
    switch (button) {
    case PSBTN_BACK:
        return back_;
    case PSBTN_NEXT:
        return next_;
    case PSBTN_FINISH:
        return finish_;
    case PSBTN_CANCEL:
        return cancel_;
    default:
        return nullptr;
    }
}

void Wizard::PreparePage(int index)
{
    SetWizButtons(DefaultButtons(index, pages().count()));
}

void Wizard::PageShown(int index)
{
    const PropSheetPage& page = pages().record(index);
    setWindowTitle(QString::fromStdString(page.title));
    header_title_->setText(QString::fromStdString(page.header_title));
    header_subtitle_->setText(QString::fromStdString(page.header_subtitle));
    header_->setVisible(!page.hide_header);
    watermark_->setVisible(page.hide_header && !watermark_->pixmap().isNull());
}

void Wizard::Travel(int code, int step)
{
    const int current = CurrentIndex();
    if (current < 0)
        return;
    const std::intptr_t answer = pages().Notify(current, code);
    if (closed() || answer == kStay)
        return;
    const int target = answer == 0 ? current + step : pages().IndexOfTemplate(answer);
    if (target < 0 || target >= pages().count())
        return;
    MoveTo(target, step);
}

void Wizard::accept()
{
    const int current = CurrentIndex();
    if (closed() || current < 0 || pages().Notify(current, PSN_WIZFINISH) != 0 || closed())
        return;
    done(Accepted);
}

} // namespace velk
