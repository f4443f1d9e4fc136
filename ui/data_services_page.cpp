#include "ui/data_services_page.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/class_registry.h"
#include "platform/data_server_layout.h"
#include "platform/reg_key.h"
#include "platform/service_unit.h"
#include "ui/data_server_config_page.h"
#include "ui/data_service_state.h"
#include "ui/property_sheet.h"
#include "velk/ivelk_data_service.h"

namespace velk {

namespace {

constexpr const char* kNoneSelected = "(None selected)";
constexpr const char* kClassRole = "clsid";

// The idle list gets the other providers only when it is first dropped down.
class DropDownCombo : public QComboBox {
public:
    std::function<void()> before_popup;

    void showPopup() override
    {
        if (before_popup)
            before_popup();
        QComboBox::showPopup();
    }
};

// Tells which of the two lists the user was in last: Configure acts on that one's provider.
class FocusWatch : public QObject {
public:
    FocusWatch(QObject* parent, std::function<void()> focused) : QObject(parent), focused_(std::move(focused)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn)
            focused_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> focused_;
};

QString ClassText(const Guid& clsid)
{
    return QString::fromStdString(clsid.ToString());
}

std::string Description(const Guid& clsid)
{
    std::string name;
    if (SUCCEEDED(ClassRegistry::UserTypeName(clsid, name)) && !name.empty())
        return name;
    return "Unknown object with CLSID " + clsid.ToString();
}

} // namespace

HPROPSHEETPAGE CVelkPage::Record(const UnknownPtr& owner, const UPnPDeviceInfo& player, const std::string& host)
{
    PropSheetPage record;
    record.title = "Data Services";
    record.template_id = kDialogId;
    record.lParam = owner;
    record.create = [player, host](QWidget* window, IPropertySheet& sheet, const PropSheetPage& page) {
        return std::unique_ptr<CRenderedPropertyPage>(std::make_unique<CVelkPage>(window, sheet, page, player, host));
    };
    return std::make_shared<const PropSheetPage>(std::move(record));
}

CVelkPage::CVelkPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page,
                     const UPnPDeviceInfo& player, const std::string& host)
    : CRenderedPropertyPage(window, sheet, page), settings_(std::make_shared<DataServerSettings>())
{
    settings_->player = player;
    settings_->host = host;
}

std::intptr_t CVelkPage::OnInitDialog()
{
    auto* idle = new DropDownCombo;
    idle->before_popup = [this] { FillIdleList(); };
    idle_ = idle;
    idle_->setObjectName("idle");
    configure_ = new QPushButton("&Configure...");
    configure_->setObjectName("configure");
    events_ = new QListWidget;
    events_->setObjectName("events");
    show_ = new QComboBox;
    show_->setObjectName("show");
    show_->addItem("All the time", 0);
    show_->addItem("When device is powered off", 1);
    show_->addItem("When no music is playing", 2);

    auto* idle_row = new QHBoxLayout;
    idle_row->addWidget(idle_, 1);
    idle_row->addWidget(configure_);
    auto* layout = new QVBoxLayout(window());
    layout->addWidget(new QLabel("Content to display when the Melodeck is idle:"));
    layout->addLayout(idle_row);
    layout->addSpacing(8);
    layout->addWidget(new QLabel("Content triggered by an external event:"));
    layout->addWidget(events_, 1);
    layout->addWidget(new QLabel("(please double-click to configure the data source)"));
    layout->addSpacing(8);
    auto* show_row = new QHBoxLayout;
    show_row->addWidget(new QLabel("Show content:"));
    show_row->addWidget(show_, 1);
    layout->addLayout(show_row);

    ListProviders(CATID_VelkAsynchronousDataServices, true);
    ReadStoredChoice();
    idle_->addItem(kNoneSelected);
    if (idle_provider_) {
        idle_->addItem(QString::fromStdString(providers_[*idle_provider_].description), ClassText(*idle_provider_));
        idle_->setCurrentIndex(1);
        Load(*idle_provider_); // its stored header is the page's
    }
    show_->setCurrentIndex(std::max(0, show_->findData(settings_->header.show_content)));
    configure_->setVisible(idle_->currentIndex() > 0);

    events_->installEventFilter(new FocusWatch(&connections_, [this] { event_list_has_focus_ = true; }));
    idle_->installEventFilter(new FocusWatch(&connections_, [this] { event_list_has_focus_ = false; }));
    QObject::connect(idle_, &QComboBox::currentIndexChanged, &connections_, [this](int index) {
        configure_->setVisible(index > 0);
        if (const auto chosen = IdleChoice())
            Load(*chosen);
        sheet().Changed(*this);
    });
    QObject::connect(events_, &QListWidget::itemChanged, &connections_, [this] { sheet().Changed(*this); });
    QObject::connect(events_, &QListWidget::itemDoubleClicked, &connections_, [this] {
        event_list_has_focus_ = true;
        ConfigureSelected();
    });
    QObject::connect(configure_, &QPushButton::clicked, &connections_, [this] { ConfigureSelected(); });
    QObject::connect(show_, &QComboBox::activated, &connections_, [this] { sheet().Changed(*this); });
    return 1;
}

void CVelkPage::ListProviders(const Guid& category, bool event)
{
    std::vector<Guid> classes;
    ClassRegistry::ClassesOfCategory(category, classes);
    for (const Guid& clsid : classes) {
        if (providers_.contains(clsid))
            continue;
        Provider& provider = providers_[clsid];
        provider.description = Description(clsid);
        provider.event = event;
        if (event) {
            auto* row = new QListWidgetItem(QString::fromStdString(provider.description), events_);
            row->setData(Qt::UserRole, ClassText(clsid));
            row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
            row->setCheckState(Qt::Unchecked);
        }
    }
}

void CVelkPage::ReadStoredChoice()
{
    const auto player_key = PlayerKey(settings_->player.udn);
    RegKey key;
    if (!player_key || FAILED(key.Open(Hive::LocalMachine, PlayerKeyPath(*player_key))))
        return;
    std::vector<std::string> listed;
    ReadPlayerClasses(key, listed);
    for (const std::string& name : listed) {
        const auto clsid = Guid::Parse(name);
        if (!clsid)
            continue;
        auto found = providers_.find(*clsid);
        if (found != providers_.end() && found->second.event) {
            for (int i = 0; i < events_->count(); ++i) {
                if (events_->item(i)->data(Qt::UserRole).toString() == ClassText(*clsid))
                    events_->item(i)->setCheckState(Qt::Checked);
            }
        } else if (!idle_provider_) {
            idle_provider_ = *clsid;
            providers_[*clsid].description = Description(*clsid);
        }
    }
}

void CVelkPage::FillIdleList()
{
    if (idle_list_filled_)
        return;
    idle_list_filled_ = true;
    std::vector<Guid> classes;
    ClassRegistry::ClassesOfCategory(CATID_VelkSynchronousDataServices, classes);
    const QSignalBlocker quiet(idle_);
    for (const Guid& clsid : classes) {
        if (idle_provider_ == clsid)
            continue;
        Provider& provider = providers_[clsid];
        provider.description = Description(clsid);
        idle_->addItem(QString::fromStdString(provider.description), ClassText(clsid));
    }
}

bool CVelkPage::Load(const Guid& clsid)
{
    Provider& provider = providers_[clsid];
    if (provider.configuration)
        return true;
    const HRESULT hr = ProviderConfiguration::Load(clsid, settings_->player.udn, provider.configuration);
    if (FAILED(hr)) {
        QMessageBox::warning(window(), "Velk Melodeck",
                             QString("%1 could not be loaded: %2")
                                 .arg(QString::fromStdString(provider.description),
                                      QString::fromStdString(HResultMessage(hr))));
        return false;
    }
    if (clsid == idle_provider_)
        settings_->header = provider.configuration->header();
    return true;
}

void CVelkPage::Save(const Guid& clsid)
{
    Provider& provider = providers_[clsid];
    if (!provider.configuration)
        return;
    provider.configuration->header() = settings_->header;
    provider.configuration->Save();
}

std::optional<Guid> CVelkPage::IdleChoice() const
{
    return Guid::Parse(idle_->currentData().toString().toStdString());
}

std::optional<Guid> CVelkPage::SelectedEvent() const
{
    const QListWidgetItem* row = events_->currentItem();
    return row ? Guid::Parse(row->data(Qt::UserRole).toString().toStdString()) : std::nullopt;
}

void CVelkPage::ConfigureSelected()
{
    if (const auto clsid = event_list_has_focus_ ? SelectedEvent() : IdleChoice())
        Configure(*clsid);
}

void CVelkPage::Configure(const Guid& clsid)
{
    if (!Load(clsid))
        return;
    Provider& provider = providers_[clsid];
    settings_->for_event = provider.event;
    PropertySheet properties("Velk Data Server Properties", window());
    properties.AddPage(CDataServerConfigPage::Record(settings_));
    provider.configuration->provider().Configure(properties.adder(), settings_->player.udn,
                                                 settings_->player.model_number);
    if (properties.Run() != 1)
        return;
    sheet().Changed(*this);
    if (OnApply()) {
        sheet().Unchanged(*this);
        sheet().CancelToClose();
    }
    // Start again from what is stored now.
    provider.configuration.reset();
    Load(clsid);
}

std::intptr_t CVelkPage::OnApply()
{
    settings_->header.show_content = static_cast<std::uint16_t>(show_->currentData().toUInt());
    const auto player_key = PlayerKey(settings_->player.udn);
    RegKey key;
    if (player_key && SUCCEEDED(key.Create(Hive::LocalMachine, PlayerKeyPath(*player_key)))) {
        const auto chosen = IdleChoice();
        if (chosen != idle_provider_) {
            if (chosen)
                AddPlayerClass(key, *chosen);
            if (idle_provider_)
                RemovePlayerClass(key, *idle_provider_);
            idle_provider_ = chosen;
        }
        if (chosen)
            Save(*chosen);
        for (int i = 0; i < events_->count(); ++i) {
            const QListWidgetItem* row = events_->item(i);
            const auto clsid = Guid::Parse(row->data(Qt::UserRole).toString().toStdString());
            if (!clsid)
                continue;
            if (row->checkState() == Qt::Checked)
                AddPlayerClass(key, *clsid);
            else
                RemovePlayerClass(key, *clsid);
            Save(*clsid);
        }
        key.Flush();
    }
    NotifyService();
    return 1;
}

void CVelkPage::NotifyService()
{
    if (!IsServiceUnitInstalled()) {
        QMessageBox::warning(window(), "Velk Melodeck",
                             "The Velk Data Service has not been installed on this machine. Please "
                             "reinstall the Velk Melodeck Server");
        return;
    }
    if (!IsDataServiceRunning()) {
        if (QMessageBox::warning(window(), QString(),
                                 "To provide this data the Velk Data Service needs to be started. "
                                 "Do you want to start it now?",
                                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
        const HRESULT hr = StartDataService(window());
        if (FAILED(hr)) {
            QMessageBox::warning(window(), "Velk Melodeck", QString::fromStdString(HResultMessage(hr)));
            return;
        }
    }
    if (FAILED(AskDataServiceToReload()))
        QMessageBox::warning(window(), "Velk Melodeck",
                             "Failed to update the service. You will need to stop and restart it "
                             "for changes to take effect.");
}

} // namespace velk
