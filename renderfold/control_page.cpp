#include "renderfold/control_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

#include "renderfold/renderer_commands.h"
#include "renderfold/renderer_page_record.h"

namespace velk {

HPROPSHEETPAGE CControlPage::Record(const std::shared_ptr<CMediaRenderer>& owner)
{
    return RendererPageRecord<CControlPage>("Control", owner);
}

CControlPage::CControlPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page), renderer_(std::dynamic_pointer_cast<CMediaRenderer>(page.lParam)),
      volume_(new QSlider(Qt::Vertical, window)), volume_label_(new QLabel("Volume", window)),
      state_(PlainLabel(window, "state", "No Media Present"))
{
    volume_->setObjectName("volume");
    QFont larger = state_->font();
    larger.setBold(true);
    larger.setPointSizeF(larger.pointSizeF() * 1.2);
    state_->setFont(larger);
}

QPushButton* CControlPage::Button(const char* text, const char* name)
{
    auto* button = new QPushButton(text, window());
    button->setObjectName(name);
    controls_.push_back(button);
    return button;
}

CMediaRenderer::Done CControlPage::Report(std::string_view action)
{
    return ReportFailure(window(), renderer_->device(), action);
}

std::intptr_t CControlPage::OnInitDialog()
{
    volume_->setRange(0, 100);
    volume_->setPageStep(10);
    volume_->setTickPosition(QSlider::TicksBothSides);
    volume_->setTickInterval(10);
    controls_ = {volume_, volume_label_};

    struct Transport {
        const char* text;
        const char* name;
        QStyle::StandardPixmap icon;
        void (CMediaRenderer::*send)(CMediaRenderer::Done);
    };
    const Transport transports[] = {
        {"Play", "play", QStyle::SP_MediaPlay, &CMediaRenderer::Play},
        {"Pause", "pause", QStyle::SP_MediaPause, &CMediaRenderer::Pause},
        {"Stop", "stop", QStyle::SP_MediaStop, &CMediaRenderer::Stop},
        {"Previous", "previous", QStyle::SP_MediaSkipBackward, &CMediaRenderer::Previous},
        {"Next", "next", QStyle::SP_MediaSkipForward, &CMediaRenderer::Next},
    };
    auto* buttons = new QGridLayout;
    int column = 0;
    for (const Transport& transport : transports) {
        QPushButton* button = Button(transport.text, transport.name);
        button->setIcon(window()->style()->standardIcon(transport.icon));
        buttons->addWidget(button, 0, column++);
        QObject::connect(button, &QPushButton::clicked, &connections_, [this, transport] {
            if (renderer_)
                (renderer_.get()->*transport.send)(Report(transport.text));
        });
    }
    QPushButton* shuffle = Button("Shuffle", "shuffle");
    QPushButton* repeat = Button("Repeat", "repeat");
    buttons->addWidget(shuffle, 1, 0);
    buttons->addWidget(repeat, 1, 1);
    QObject::connect(shuffle, &QPushButton::clicked, &connections_, [this] {
        if (renderer_)
            renderer_->SetPlayMode(ToggledShuffle(renderer_->play_mode()), Report("Shuffle"));
    });
    QObject::connect(repeat, &QPushButton::clicked, &connections_, [this] {
        if (!renderer_)
            return;
        const PlayMode mode = renderer_->play_mode();
        if (const PlayMode next = CycledRepeat(mode); next != mode)
            renderer_->SetPlayMode(next, Report("Repeat"));
    });
    QObject::connect(volume_, &QSlider::valueChanged, &connections_, [this](int value) { VolumeMoved(value); });

    auto* volume = new QVBoxLayout;
    volume->addWidget(volume_, 1, Qt::AlignHCenter);
    volume->addWidget(volume_label_, 0, Qt::AlignHCenter);
    auto* transport = new QVBoxLayout;
    transport->addWidget(state_);
    transport->addLayout(buttons);
    transport->addStretch();
    auto* layout = new QHBoxLayout(window());
    layout->addLayout(volume);
    layout->addSpacing(16);
    layout->addLayout(transport, 1);

    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Refresh(); });
    timer_.start(kRefreshMs);
    Refresh();
    return 1;
}

std::intptr_t CControlPage::OnSetActive()
{
    Refresh();
    volume_->setFocus();
    return 1;
}

void CControlPage::VolumeMoved(int value)
{
    // Every move replaces the value still waiting; one queued send takes the last.
    const bool queued = pending_volume_.has_value();
    pending_volume_ = static_cast<std::uint32_t>(value);
    if (!queued)
        QMetaObject::invokeMethod(&connections_, [this] { SendVolume(); }, Qt::QueuedConnection);
}

void CControlPage::SendVolume()
{
    const auto volume = std::exchange(pending_volume_, std::nullopt);
    if (renderer_ && volume)
        renderer_->SetVolume(*volume, Report("SetVolume"));
}

void CControlPage::Refresh()
{
    if (!renderer_)
        return;
    const tagAVTransportState state = renderer_->transport_state();
    const bool media = state != AV_TRANSPORT_NO_MEDIA_PRESENT;
    for (QWidget* control : controls_)
        control->setVisible(media);
    const std::string text = TransportStateText(state);
    state_->setText(QString::fromStdString(text));
    if (media && renderer_->volume() && !pending_volume_ && !volume_->isSliderDown()) {
        const QSignalBlocker quiet(volume_);
        volume_->setValue(static_cast<int>(*renderer_->volume()));
    }
}

} // namespace velk
