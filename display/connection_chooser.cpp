#include "display/connection_chooser.h"

#include <memory>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "automation/automation_client.h"
#include "display/service_calls.h"

namespace velk {

namespace {

constexpr const char* kLocalComputer = "Local Computer (The computer this console is running on)";

} // namespace

CConnectionChooser::CConnectionChooser(QWidget* parent)
    : QWidget(parent), local_(new QRadioButton(tr(kLocalComputer))),
      another_(new QRadioButton(tr("Another"))), server_(new QLineEdit),
      players_(new QComboBox), udn_(new QLineEdit)
{
    local_->setObjectName("local");
    another_->setObjectName("another");
    server_->setObjectName("server");
    players_->setObjectName("players");
    udn_->setObjectName("udn");
    udn_->setReadOnly(true);
    players_->setMinimumContentsLength(24);

    auto* group = new QGroupBox(tr("Server"));
    auto* server_rows = new QGridLayout(group);
    server_rows->addWidget(local_, 0, 0, 1, 2);
    server_rows->addWidget(another_, 1, 0);
    server_rows->addWidget(server_, 1, 1);
    auto* device = new QLabel(tr("Device:"));
    device->setBuddy(players_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(device);
    layout->addWidget(players_);
    layout->addWidget(udn_);
    layout->addStretch();
    SetPlayers({}, QString());
    ShowServerChoice(false);

    connect(local_, &QRadioButton::clicked, this, [this] {
        ShowServerChoice(false);
        emit serverChanged();
        emit changed();
    });
    connect(another_, &QRadioButton::clicked, this, [this] {
        ShowServerChoice(true);
        emit serverChanged();
        emit changed();
    });
    connect(server_, &QLineEdit::textEdited, this, &CConnectionChooser::changed);
    connect(server_, &QLineEdit::editingFinished, this, [this] {
        if (server_->isModified()) {
            server_->setModified(false);
            emit serverChanged();
        }
    });
    connect(players_, &QComboBox::currentIndexChanged, this, [this] {
        udn_->setText(DeviceUDN());
    });
    connect(players_, &QComboBox::activated, this, &CConnectionChooser::changed);
}

void CConnectionChooser::SetServer(const QString& server)
{
    server_->setText(server);
    ShowServerChoice(!server.isEmpty());
}

QString CConnectionChooser::Server() const
{
    return another_->isChecked() ? server_->text().trimmed() : QString();
}

void CConnectionChooser::ShowServerChoice(bool another)
{
    (another ? another_ : local_)->setChecked(true);
    server_->setEnabled(another);
}

void CConnectionChooser::SetPlayers(const std::vector<PlayerEntry>& players, const QString& udn)
{
    const QSignalBlocker quiet(players_);
    entries_ = players;
    players_->clear();
    players_->addItem(tr(kPleaseSelect));
    int selected = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        players_->addItem(QString::fromStdString(entries_[i].name));
        if (selected == 0 && !udn.isEmpty() && QString::fromStdString(entries_[i].udn) == udn)
            selected = static_cast<int>(i) + 1;
    }
    players_->setCurrentIndex(selected);
    udn_->setText(DeviceUDN());
}

QString CConnectionChooser::DeviceUDN() const
{
    const int index = players_->currentIndex();
    if (index < 1 || static_cast<std::size_t>(index) > entries_.size())
        return QString();
    return QString::fromStdString(entries_[index - 1].udn);
}

HRESULT CConnectionChooser::FillPlayers(const PlayerListProgress& progress, const QString& udn)
{
    const QString selected = udn.isEmpty() ? DeviceUDN() : udn;
    std::vector<PlayerEntry> players;
    std::shared_ptr<AutomationClient> client;
    HRESULT hr = ConnectToService(Server(), client);
    if (SUCCEEDED(hr))
        hr = ListPlayers(client->Root(), players, progress);
    SetPlayers(players, selected);
    return hr;
}

} // namespace velk
