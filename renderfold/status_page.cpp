#include "renderfold/status_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace velk {

namespace {

QLabel* Field(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

HPROPSHEETPAGE CStatusPage::Record(const std::shared_ptr<CMediaRenderer>& owner)
{
    PropSheetPage record;
    record.title = "Status";
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CStatusPage>(std::move(record));
}

CStatusPage::CStatusPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), renderer_(std::dynamic_pointer_cast<CMediaRenderer>(page.lParam)),
      artist_(Field(window, "artist")), album_(Field(window, "album")), track_(Field(window, "track")),
      elapsed_(Field(window, "elapsed")), duration_(Field(window, "duration"))
{
}

std::intptr_t CStatusPage::OnInitDialog()
{
    auto* group = new QGroupBox("Now Playing...", window());
    auto* fields = new QFormLayout(group);
    fields->addRow("Artist:", artist_);
    fields->addRow("Album:", album_);
    fields->addRow("Track:", track_);
    fields->addRow("Elapsed Time:", elapsed_);
    fields->addRow("Track Duration:", duration_);
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(group);
    layout->addStretch();
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Refresh(); });
    timer_.start(kRefreshMs);
    Refresh();
    return 1;
}

void CStatusPage::Refresh()
{
    if (!renderer_)
        return;
    const TrackInfo& track = renderer_->track();
    artist_->setText(QString::fromStdString(track.artist));
    album_->setText(QString::fromStdString(track.album));
    track_->setText(QString::fromStdString(track.title));
    elapsed_->setText(QString::fromStdString(renderer_->elapsed_time()));
    duration_->setText(QString::fromStdString(renderer_->track_duration()));
    renderer_->RefreshPosition();
}

} // namespace velk
