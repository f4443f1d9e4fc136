// "Data Services", a player's page for administrators: which provider fills the player's display
// while it is idle, which event-triggered providers may interrupt it, and when content shows at
// all. "Configure..." (or a double-click on an event provider) opens the provider's own pages in
// a "Velk Data Server Properties" sheet after a "General" page for the font and the menu
// time-out. Apply writes the player's providers and their settings where the service reads them
// and has the service reread them (offering to start it when it does not run). Without write
// access to the machine hive the page shows the stored choice and writes nothing. GUI thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include <QObject>

#include "platform/guid.h"
#include "platform/upnp_device.h"
#include "ui/data_server_settings.h"
#include "ui/provider_configuration.h"
#include "ui/rendered_property_page.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace velk {

class CVelkPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 106;

    // The page for the player (its UDN, model number, and the host from its presentation URL);
    // owner is the object that built the sheet.
    static HPROPSHEETPAGE Record(const UnknownPtr& owner, const UPnPDeviceInfo& player, const std::string& host);

    CVelkPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page,
              const UPnPDeviceInfo& player, const std::string& host);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnApply() override;

private:
    struct Provider {
        std::string description;
        bool event = false;
        std::unique_ptr<ProviderConfiguration> configuration; // loaded on demand
    };

    void ListProviders(const Guid& category, bool event);
    void ReadStoredChoice();
    void FillIdleList();
    // The provider loaded with its stored settings; false after telling why it cannot be.
    bool Load(const Guid& clsid);
    void Save(const Guid& clsid);
    void Configure(const Guid& clsid);
    void ConfigureSelected();
    std::optional<Guid> IdleChoice() const;
    std::optional<Guid> SelectedEvent() const;
    void NotifyService();

    const std::shared_ptr<DataServerSettings> settings_;
    std::map<Guid, Provider> providers_;
    std::optional<Guid> idle_provider_; // as stored
    bool idle_list_filled_ = false;
    bool event_list_has_focus_ = false;
    QObject connections_;
    QComboBox* idle_;
    QPushButton* configure_;
    QListWidget* events_;
    QComboBox* show_;
};

} // namespace velk
