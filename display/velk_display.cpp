#include "display/velk_display.h"

#include <utility>

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QSysInfo>

#include "automation/automation_client.h"
#include "display/service_calls.h"
#include "platform/ascii.h"
#include "platform/error_info.h"

namespace velk {

namespace {

constexpr std::string_view kClipboard = "clipboard";

// COLORREF 0x00BBGGRR, as the capture takes colours.
std::uint32_t ColorrefOf(const QColor& color)
{
    return static_cast<std::uint32_t>(color.blue()) << 16 |
           static_cast<std::uint32_t>(color.green()) << 8 | static_cast<std::uint32_t>(color.red());
}

// The picture with each pixel of one of the `from` colours in the matching `to` colour.
QImage Recoloured(const QImage& picture, const std::pair<QColor, QColor>& from,
                  const std::pair<QColor, QColor>& to)
{
    QImage recoloured = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb back = from.first.rgb();
    const QRgb fore = from.second.rgb();
    for (int y = 0; y < recoloured.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(recoloured.scanLine(y));
        for (int x = 0; x < recoloured.width(); ++x) {
            if (row[x] == back)
                row[x] = to.first.rgb();
            else if (row[x] == fore)
                row[x] = to.second.rgb();
        }
    }
    return recoloured;
}

} // namespace

CVelkDisplay::CVelkDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVelkDisplay::~CVelkDisplay()
{
    // No picture may be queued to the widget once it goes.
    if (client_)
        client_->CloseEvents();
    Disconnect();
}

HRESULT CVelkDisplay::setServer(const QString& server)
{
    server_ = server;
    return Reconnect(true);
}

HRESULT CVelkDisplay::setDeviceUDN(const QString& udn)
{
    udn_ = udn;
    return Reconnect(!client_);
}

HRESULT CVelkDisplay::Reconnect(bool to_service)
{
    // A container sees the same order after every change: loaded, interactive, and then
    // complete with the player's capture followed, loading without it.
    SetReadyState(ReadyStateLoaded);
    SetReadyState(ReadyStateInteractive);
    HRESULT hr = to_service ? ConnectToServer() : S_OK;
    if (SUCCEEDED(hr))
        hr = ConnectToPlayer();
    SetReadyState(capture_ ? ReadyStateComplete : ReadyStateLoading);
    update();
    return hr;
}

HRESULT CVelkDisplay::ConnectToServer()
{
    Disconnect();
    if (client_)
        client_->CloseEvents();
    client_.reset();
    std::shared_ptr<AutomationClient> client;
    HRESULT hr = ConnectToService(server_, client);
    if (FAILED(hr))
        return hr;
    hr = client->OpenEvents([this](const DispatchablePtr& source, const std::string& member,
                                   const std::vector<Variant>& args) {
        std::string png;
        if (member != "OnDataChange" || args.size() != 1 || FAILED(args[0].ToString(png)))
            return;
        const QByteArray bytes = QByteArray::fromBase64(QByteArray::fromStdString(png));
        const auto remote = std::dynamic_pointer_cast<CRemoteObject>(source);
        QMetaObject::invokeMethod(
            this, [this, from = remote ? remote->handle() : 0, bytes] { ShowPicture(from, bytes); },
            Qt::QueuedConnection);
    });
    if (FAILED(hr))
        return hr;
    client_ = std::move(client);
    return S_OK;
}

HRESULT CVelkDisplay::ConnectToPlayer()
{
    Disconnect();
    if (udn_.isEmpty() || !client_)
        return S_OK;
    DispatchablePtr devices;
    DispatchablePtr player;
    DispatchablePtr session;
    DispatchablePtr capture;
    HRESULT hr = GetObject(client_->Root(), "VelkDevices", devices);
    if (SUCCEEDED(hr))
        hr = GetObject(devices, "Item", player, {Variant(udn_.toStdString())}, MemberKind::Method);
    if (SUCCEEDED(hr))
        hr = GetObject(player, "RCPSession", session);
    if (SUCCEEDED(hr))
        hr = PutProperty(session, "MonitorDisplay", Variant::FromBool(true));
    if (FAILED(hr))
        return hr;
    session_ = session;
    hr = GetObject(session, "Display", capture);
    if (FAILED(hr)) {
        Disconnect();
        return hr;
    }
    capture_ = capture;
    PassColors();
    hr = client_->Advise(capture_);
    if (FAILED(hr)) {
        Disconnect();
        return hr;
    }
    return S_OK;
}

void CVelkDisplay::Disconnect()
{
    if (session_)
        PutProperty(session_, "MonitorDisplay", Variant::FromBool(false));
    session_.reset();
    capture_.reset();
    picture_ = QImage();
}

void CVelkDisplay::ShowPicture(std::uint64_t from, const QByteArray& png)
{
    // Only the player shown now: not a picture still on its way from one let go.
    const auto capture = std::dynamic_pointer_cast<CRemoteObject>(capture_);
    if (!capture || from != capture->handle())
        return;
    QImage picture;
    if (!picture.loadFromData(png, "PNG"))
        return;
    picture_ = std::move(picture);
    update();
    emit pictureChanged();
}

void CVelkDisplay::PassColors()
{
    if (!capture_)
        return;
    PutProperty(capture_, "BackgroundColor", Variant(ColorrefOf(back_)));
    PutProperty(capture_, "ForegroundColor", Variant(ColorrefOf(fore_)));
}

void CVelkDisplay::setBackColor(const QColor& color)
{
    SetColors(color, fore_);
}

void CVelkDisplay::setForeColor(const QColor& color)
{
    SetColors(back_, color);
}

void CVelkDisplay::SetColors(const QColor& back, const QColor& fore)
{
    // The picture shown takes the new colours at once; the capture's next ones come in them.
    if (!picture_.isNull())
        picture_ = Recoloured(picture_, {back_, fore_}, {back, fore});
    back_ = back;
    fore_ = fore;
    PassColors();
    update();
}

DispatchablePtr CVelkDisplay::DataServer() const
{
    return client_ ? client_->Root() : nullptr;
}

HRESULT CVelkDisplay::Copy(const QString& filename)
{
    if (picture_.isNull())
        return ReportError(E_FAIL, "There is no picture of the player's display to copy.");
    if (EqualsIgnoringCase(filename.toStdString(), kClipboard)) {
        QGuiApplication::clipboard()->setImage(picture_);
        return S_OK;
    }
    if (!picture_.save(filename, "BMP"))
        return ReportError(STG_E_WRITEFAULT, "The picture could not be written to \"" +
                                                 filename.toStdString() + "\".");
    return S_OK;
}

QString CVelkDisplay::message() const
{
    if (udn_.isEmpty())
        return tr("No device selected");
    const QString server = server_.isEmpty() ? QSysInfo::machineHostName() : server_;
    return tr("Failed to connect to device %1 on server %2.").arg(udn_, server);
}

void CVelkDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!picture_.isNull()) {
        painter.drawImage(rect(), picture_);
        return;
    }
    painter.fillRect(rect(), back_);
    // Connected: the first picture is on its way.
    if (capture_)
        return;
    painter.setPen(fore_);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, message());
}

void CVelkDisplay::SetReadyState(ReadyState state)
{
    if (state == ready_state_)
        return;
    ready_state_ = state;
    emit readyStateChanged(state);
}

} // namespace velk
