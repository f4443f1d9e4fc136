// CVelkDisplay: a live mirror of one player's display, as a Qt widget. It reaches the data
// service on this computer or on the one `Server` names ("host" or "host:port"; the endpoint's
// port 4445 otherwise) through its automation endpoint, asks the player's session to monitor
// the display, and stretches each picture the capture sends over its own rectangle. Without a
// picture it says why. The display request goes back when the widget disconnects or goes away
// (and the service takes it back itself when the connection ends).
//
// Lives on the GUI thread. Pictures arrive on the client's stream thread and are queued to it.
#pragma once

#include <cstdint>
#include <memory>

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include "automation/dispatch.h"

namespace velk {

class AutomationClient;

class CVelkDisplay : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Server READ Server WRITE setServer)
    Q_PROPERTY(QString DeviceUDN READ DeviceUDN WRITE setDeviceUDN)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor)

public:
    // The ready states a container sees after each change of Server or DeviceUDN: loaded,
    // interactive, then complete once the player's capture is followed, loading otherwise.
    enum ReadyState { ReadyStateLoading = 1, ReadyStateLoaded = 2, ReadyStateInteractive = 3,
                      ReadyStateComplete = 4 };

    explicit CVelkDisplay(QWidget* parent = nullptr);
    ~CVelkDisplay() override;

    QString Server() const { return server_; }
    // Connects to the service there (empty: this computer) and to the player; the failure to
    // reach the service comes back (the widget then shows it).
    HRESULT setServer(const QString& server);
    QString DeviceUDN() const { return udn_; }
    HRESULT setDeviceUDN(const QString& udn);
    QColor BackColor() const { return back_; }
    void setBackColor(const QColor& color);
    QColor ForeColor() const { return fore_; }
    void setForeColor(const QColor& color);
    // The service's root object; none while not connected.
    DispatchablePtr DataServer() const;
    // "clipboard" (any case) puts the picture on the clipboard; anything else writes it as a
    // BMP file of that name. E_FAIL without a picture.
    HRESULT Copy(const QString& filename);

    ReadyState readyState() const { return ready_state_; }
    // The last picture, at the display's own size; null without one.
    QImage picture() const { return picture_; }
    // What the widget shows without a picture.
    QString message() const;

signals:
    void readyStateChanged(int state);
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // to_service: reach the service again before the player.
    HRESULT Reconnect(bool to_service);
    HRESULT ConnectToServer();
    HRESULT ConnectToPlayer();
    void Disconnect();
    // from: the handle of the capture that sent the picture.
    void ShowPicture(std::uint64_t from, const QByteArray& png);
    void SetColors(const QColor& back, const QColor& fore);
    void PassColors();
    void SetReadyState(ReadyState state);

    QString server_;
    QString udn_;
    QColor back_{Qt::black};
    QColor fore_{0x80, 0xD0, 0xFF};
    std::shared_ptr<AutomationClient> client_;
    DispatchablePtr session_;
    DispatchablePtr capture_;
    QImage picture_;
    ReadyState ready_state_ = ReadyStateLoading;
};

} // namespace velk
