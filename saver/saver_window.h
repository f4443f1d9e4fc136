// The screen saver's picture: one player's display, live, at a random place in the window,
// fading out after 8 seconds and shown again elsewhere; the saver's own 179x16 picture
// instead while there is no capture (no service, no such player). The display is followed
// through a CVelkDisplay that is never shown, so the display request goes back when the
// window goes. GUI thread only.
#pragma once

#include <memory>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "saver/saver_motion.h"
#include "saver/saver_settings.h"

namespace velk {

class CVelkDisplay;

class CSaverWindow : public QWidget {
    Q_OBJECT

public:
    explicit CSaverWindow(const SaverSettings& settings, QWidget* parent = nullptr);
    ~CSaverWindow() override;

    // Key presses, clicks and a moving mouse close the window (a full-screen saver of its
    // own; under xscreensaver the input is xscreensaver's).
    void setEndsOnInput(bool ends) { ends_on_input_ = ends; }

    // The picture drawn now (the capture, or the saver's own), where, and how opaque (0-255).
    QImage picture() const;
    QRect pictureRect() const { return QRect(position_, layout_.picture); }
    int opacity() const { return motion_.opacity(); }
    bool showsCapture() const;

    // The 179x16 picture shown without a capture.
    static QImage OwnPicture();

signals:
    // The picture has moved to a new place, opaque again.
    void moved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Tick();
    void Fit();
    void Move();

    std::unique_ptr<CVelkDisplay> display_;
    const QImage own_;
    QTimer timer_;
    CSaverMotion motion_;
    SaverLayout layout_;
    QSize fitted_from_; // the picture size the layout was made for
    QPoint position_;
    bool ends_on_input_ = false;
    QPoint first_mouse_{-1, -1};
};

} // namespace velk
