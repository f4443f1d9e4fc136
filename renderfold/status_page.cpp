#include "renderfold/status_page.h"

#include "renderfold/renderer_page_record.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace velk {

HPROPSHEETPAGE CStatusPage::Record(const std::shared_ptr<CMediaRenderer>& owner)
{
    return RendererPageRecord<CStatusPage>("Status", owner);
}

CStatusPage::CStatusPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), renderer_(std::dynamic_pointer_cast<CMediaRenderer>(page.lParam)),
      artist_(PlainLabel(window, "artist")), album_(PlainLabel(window, "album")), track_(PlainLabel(window, "track")),
      elapsed_(PlainLabel(window, "elapsed")), duration_(PlainLabel(window, "duration"))
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
