#include "saver/saver_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QSysInfo>

#include "display/velk_display.h"

namespace velk {

namespace {

constexpr int kOwnWidth = 179;
constexpr int kOwnHeight = 16;
// How far the mouse may drift before it ends a saver of our own (a table knocked).
constexpr int kMouseSlackPixels = 10;

} // namespace

CSaverWindow::CSaverWindow(const SaverSettings& settings, QWidget* parent)
    : QWidget(parent), display_(std::make_unique<CVelkDisplay>()), own_(OwnPicture())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::BlankCursor);
    connect(display_.get(), &CVelkDisplay::pictureChanged, this, [this] {
        Fit();
        update();
    });
    display_->setServer(ServiceServer(settings.server, QSysInfo::machineHostName()));
    display_->setDeviceUDN(settings.udn);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(CSaverMotion::kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CSaverWindow::Tick);
    timer_.start();
    Fit();
}

CSaverWindow::~CSaverWindow() = default;

bool CSaverWindow::showsCapture() const
{
    return !display_->picture().isNull();
}

QImage CSaverWindow::picture() const
{
    return showsCapture() ? display_->picture() : own_;
}

QImage CSaverWindow::OwnPicture()
{
    QImage own(kOwnWidth, kOwnHeight, QImage::Format_RGB32);
    own.fill(Qt::black);
    QPainter painter(&own);
    QFont font = painter.font();
    font.setPixelSize(kOwnHeight - 3);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x80, 0xD0, 0xFF));
    painter.drawText(own.rect(), Qt::AlignCenter, QStringLiteral("Velk Screen Saver"));
    return own;
}

void CSaverWindow::Fit()
{
    const QSize size = picture().size();
    if (size == fitted_from_ && !layout_.picture.isEmpty())
        return;
    fitted_from_ = size;
    layout_ = FitPicture(size, this->size());
    Move();
}

void CSaverWindow::Move()
{
    auto* random = QRandomGenerator::global();
    position_ = PlaceInRoom(layout_.room, random->bounded(kSaverRandomMax + 1),
                            random->bounded(kSaverRandomMax + 1));
    update();
    emit moved();
}

void CSaverWindow::Tick()
{
    if (motion_.Tick())
        Move();
    else if (motion_.ticks() >= CSaverMotion::kFadeFromTick)
        update(pictureRect());
}

void CSaverWindow::resizeEvent(QResizeEvent*)
{
    layout_ = FitPicture(fitted_from_, size());
    Move();
}

void CSaverWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // The saver's own picture is drawn as it is; the capture fades.
    if (showsCapture())
        painter.setOpacity(motion_.opacity() / double(CSaverMotion::kOpaque));
    painter.drawImage(pictureRect(), picture());
}

void CSaverWindow::keyPressEvent(QKeyEvent* event)
{
    if (ends_on_input_)
        close();
    else
        QWidget::keyPressEvent(event);
}

void CSaverWindow::mousePressEvent(QMouseEvent* event)
{
    if (ends_on_input_)
        close();
    else
        QWidget::mousePressEvent(event);
}

void CSaverWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (first_mouse_ == QPoint(-1, -1))
        first_mouse_ = at;
    if (ends_on_input_ && (at - first_mouse_).manhattanLength() > kMouseSlackPixels)
        close();
}

} // namespace velk
