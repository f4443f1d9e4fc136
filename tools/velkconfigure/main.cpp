// velk-configure: shows a data provider's pages for one player in a "Velk Data Server
// Properties" sheet, as the player's data-service page does, and writes what the sheet applied
// where the service reads it; the provider is then given to the player, and a running service
// rereads its providers.
#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/class_registry.h"
#include "platform/hresult.h"
#include "ui/data_service_state.h"
#include "ui/property_sheet.h"
#include "ui/provider_configuration.h"
#include "velk/ivelk_data_service.h"
#include "velk/velk_data_object.h"

namespace velk {
namespace {

constexpr const char* kUsage = R"(usage: velk-configure [--model MODEL] PROVIDER PLAYER-UDN
       velk-configure --list

Shows the provider's settings for the player and stores them for the Velk service.
  PROVIDER      the provider's class id, or a word of its name ("rss", "mail", "time")
  PLAYER-UDN    the player's UDN (uuid:...), as `velkctl 'VelkDevices'` lists them
  --model MODEL the player's model number (KD-10, KD-20, KD-40), for the pages that depend on
                its display; KD-40 when not given
  --list        lists the providers this computer has
)";

struct Provider {
    Guid clsid;
    std::string name;
};

std::vector<Provider> Providers()
{
    std::vector<Provider> providers;
    for (const Guid& category : {CATID_VelkSynchronousDataServices, CATID_VelkAsynchronousDataServices}) {
        std::vector<Guid> classes;
        ClassRegistry::ClassesOfCategory(category, classes);
        for (const Guid& clsid : classes) {
            std::string name;
            ClassRegistry::UserTypeName(clsid, name);
            providers.push_back({clsid, name});
        }
    }
    return providers;
}

// The provider a class id or a word names; none, after saying why, otherwise.
std::optional<Guid> FindProvider(const std::string& text)
{
    if (auto clsid = Guid::Parse(text))
        return clsid;
    std::vector<Provider> matches;
    for (const Provider& provider : Providers()) {
        if (FoldCase(provider.name).find(FoldCase(text)) != std::string::npos)
            matches.push_back(provider);
    }
    if (matches.size() == 1)
        return matches.front().clsid;
    std::cerr << "velk-configure: " << (matches.empty() ? "no provider is named " : "several providers are named ")
              << "\"" << text << "\" (velk-configure --list shows them)\n";
    return std::nullopt;
}

// A running service rereads its providers; one that does not run reads them when it starts.
void TellTheService()
{
    if (!IsDataServiceRunning()) {
        std::cout << "Stored. The Velk service reads the settings when it starts.\n";
        return;
    }
    const HRESULT hr = AskDataServiceToReload();
    if (SUCCEEDED(hr))
        std::cout << "Stored; the Velk service has reread its providers.\n";
    else
        std::cout << "Stored. The Velk service could not be asked to reread its providers ("
                  << HResultMessage(hr) << "): `systemctl reload velk` or a restart does it.\n";
}

int Run(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string model = "KD-40";
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--list") {
            for (const Provider& provider : Providers())
                std::cout << provider.clsid.ToString() << "  " << provider.name << "\n";
            return 0;
        }
        if (args[i] == "--help" || args[i] == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (args[i] == "--model" && i + 1 < args.size()) {
            model = args[++i];
            continue;
        }
        positional.push_back(args[i]);
    }
    if (positional.size() != 2) {
        std::cerr << kUsage;
        return 2;
    }
    const auto clsid = FindProvider(positional[0]);
    if (!clsid)
        return 2;
    const std::string& udn = positional[1];
    if (!udn.starts_with("uuid:")) {
        std::cerr << "velk-configure: \"" << udn << "\" is no player's UDN (they start with \"uuid:\")\n";
        return 2;
    }

    std::unique_ptr<ProviderConfiguration> configuration;
    HRESULT hr = ProviderConfiguration::Load(*clsid, udn, configuration);
    if (FAILED(hr)) {
        std::cerr << "velk-configure: cannot load the provider " << clsid->ToString() << " for "
                  << udn << ": " << HResultMessage(hr) << "\n";
        return 1;
    }
    PropertySheet sheet("Velk Data Server Properties");
    hr = configuration->provider().Configure(sheet.adder(), udn, model);
    if (FAILED(hr)) {
        std::cerr << "velk-configure: the provider has no settings to show: " << HResultMessage(hr) << "\n";
        return 1;
    }
    if (sheet.Run() != 1) {
        std::cout << "Nothing changed.\n";
        return 0;
    }
    if (FAILED(hr = configuration->Save()) || FAILED(hr = configuration->Enable())) {
        QMessageBox::critical(nullptr, "Velk", QString("The settings could not be stored: %1")
                                                   .arg(QString::fromStdString(HResultMessage(hr))));
        return 1;
    }
    TellTheService();
    return 0;
}

} // namespace
} // namespace velk

int main(int argc, char** argv)
{
    return velk::Run(argc, argv);
}
