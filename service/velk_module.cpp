#include "service/velk_module.h"

#include <sys/resource.h>

#include <cerrno>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "platform/apartment.h"
#include "platform/ascii.h"
#include "platform/event_log.h"
#include "rcp/rcp_bitmap.h"
#include "rcp/rcp_session.h"
#include "service/automation_endpoint.h"
#include "service/control_signals.h"
#include "service/display_page.h"
#include "service/plugin_modules.h"
#include "service/server_registration.h"
#include "service/service_installer.h"
#include "service/systemd_notifier.h"
#include "service/velk_data_service.h"

namespace velk {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The service runs below normal priority, as the players' displays are never urgent.
constexpr int kBelowNormalNice = 5;

constexpr std::string_view kServiceStarted = "Service started";
constexpr std::string_view kServiceStopped = "Service stopped";
constexpr std::string_view kBadServiceRequest = "Bad service request";
constexpr std::string_view kHandlerNotInstalled = "Handler not installed";
constexpr std::string_view kNoEndpoint = "The automation endpoint could not be opened: ";

constexpr std::string_view kUsage =
    R"(Usage: velk [-RegServer | -Service | -UnregServer | -SetToken]
  (none)        run: as the service when registered as one, otherwise as a plain server
  -RegServer    register as a plain local server (removing the service if installed)
  -Service      register as the service and install the systemd unit velk.service
  -UnregServer  remove the registration and the service
  -SetToken     store the automation endpoint's token, read from standard input, protected
                for the machine (empty input: no token); the service reads it when it starts
Switches start with "-", "--" or "/" and are compared without regard to case.
)";

void LowerPriority()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0 && nice < kBelowNormalNice)
        setpriority(PRIO_PROCESS, 0, kBelowNormalNice);
}

} // namespace

CVelkModule::CVelkModule(std::filesystem::path program, std::ostream& messages,
                         std::uint32_t shutdown_delay_ms)
    : program_(std::move(program)), messages_(messages),
      locks_(shutdown_delay_ms, [this] { quit_.Set(); })
{
}

std::optional<CVelkModule::Action>
CVelkModule::ParseCommandLine(std::span<const std::string_view> args)
{
    if (args.empty())
        return Action::Run;
    if (args.size() != 1)
        return std::nullopt;
    std::string_view word = args[0];
    if (word.starts_with("--"))
        word.remove_prefix(2);
    else if (word.starts_with('-') || word.starts_with('/'))
        word.remove_prefix(1);
    else
        return std::nullopt;

    struct Switch {
        std::string_view name;
        Action action;
    };
    constexpr Switch kSwitches[] = {{"RegServer", Action::RegServer},
                                    {"UnregServer", Action::UnregServer},
                                    {"Service", Action::Service},
                                    {"SetToken", Action::SetToken}};
    for (const auto& candidate : kSwitches) {
        if (EqualsIgnoringCase(word, candidate.name))
            return candidate.action;
    }
    return std::nullopt;
}

std::filesystem::path CVelkModule::ProgramPath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

int CVelkModule::Main(std::span<const std::string_view> args)
{
    const auto action = ParseCommandLine(args);
    if (!action) {
        messages_ << kUsage;
        return kExitUsage;
    }
    HRESULT hr = E_UNEXPECTED;
    try {
        switch (*action) {
        case Action::Run:
            hr = Run();
            break;
        case Action::RegServer:
            hr = RegisterServer(false);
            break;
        case Action::Service:
            hr = RegisterServer(true);
            break;
        case Action::UnregServer:
            hr = UnregisterServer();
            break;
        case Action::SetToken:
            hr = SetAutomationToken(std::cin, messages_);
            break;
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        messages_ << "velk: " << error.what() << '\n';
        hr = E_UNEXPECTED;
    }
    if (FAILED(hr) && *action == Action::Run)
        messages_ << "velk: " << HResultMessage(hr) << '\n';
    return SUCCEEDED(hr) ? kExitDone : kExitFailed;
}

HRESULT CVelkModule::RegisterServer(bool service)
{
    // An installed service may name another program file: it goes first.
    ServiceInstaller installer(messages_);
    HRESULT hr = installer.Remove();
    if (FAILED(hr))
        return hr;
    hr = ServerRegistration::Register(program_);
    if (SUCCEEDED(hr))
        hr = ServerRegistration::SetLocalService(false);
    if (FAILED(hr)) {
        messages_ << "Could not register the server: " << HResultMessage(hr) << '\n';
        return hr;
    }
    const HRESULT modules =
        PluginModules::RegisterAll(PluginModules::FolderBeside(program_), messages_);
    if (!service)
        return modules;

    hr = installer.Install(program_);
    if (FAILED(hr))
        return hr;
    // Only an installed service may be named as the way to run.
    hr = ServerRegistration::SetLocalService(true);
    if (FAILED(hr)) {
        messages_ << "Could not register the service: " << HResultMessage(hr) << '\n';
        return hr;
    }
    return modules;
}

HRESULT CVelkModule::UnregisterServer()
{
    // The service stops before its registration goes.
    ServiceInstaller installer(messages_);
    HRESULT hr = installer.Remove();
    if (FAILED(hr))
        return hr;
    const HRESULT modules =
        PluginModules::UnregisterAll(PluginModules::FolderBeside(program_), messages_);
    hr = ServerRegistration::Unregister();
    if (FAILED(hr)) {
        messages_ << "Could not unregister the server: " << HResultMessage(hr) << '\n';
        return hr;
    }
    return modules;
}

HRESULT CVelkModule::Run()
{
    // Before any thread starts, so that every thread leaves the signals to the loop.
    ControlSignals signals;
    HRESULT hr = signals.Open();
    if (FAILED(hr)) {
        EventLog::ReportText(EventLogType::Information, kHandlerNotInstalled);
        return hr;
    }
    const auto apartment = Apartment::Create();
    if (!apartment)
        return E_UNEXPECTED;
    const bool service = ServerRegistration::IsLocalService();
    const SystemdNotifier notifier = SystemdNotifier::FromEnvironment();
    if (service)
        LowerPriority();
    else
        EventLog::SetConsole(&std::cout);

    std::shared_ptr<IVelkDataService> root = std::make_shared<CVelkDataService>();
    // The endpoint opens first: a second service finds its port taken and ends before it
    // looks for players, so that two services never drive the same ones.
    AutomationServer::Options options;
    hr = AutomationOptions(options);
    AutomationServer endpoint(apartment, root, std::move(options));
    if (SUCCEEDED(hr))
        hr = endpoint.Start();
    if (FAILED(hr))
        EventLog::ReportText(EventLogType::Error, std::string(kNoEndpoint) + HResultMessage(hr));
    else
        hr = root->Initialize();
    if (SUCCEEDED(hr)) {
        notifier.Notify("READY=1");
        if (service)
            EventLog::ReportText(EventLogType::Information, kServiceStarted);
        else
            locks_.Start();
        {
            ControlSignalThread requests(signals, [apartment, root](ServiceControl control) {
                OnControl(*apartment, root, control);
            });
            hr = Loop(*apartment);
        }
        notifier.Notify("STOPPING=1");
        locks_.Stop();
        // The players leave while the endpoint is open, so that its clients see them go.
        root->Terminate();
    }
    endpoint.Stop();
    root.reset();
    apartment->Close();
    if (service)
        EventLog::ReportText(EventLogType::Information, kServiceStopped);
    EventLog::SetConsole(nullptr);
    return hr;
}

HRESULT CVelkModule::AutomationOptions(AutomationServer::Options& options)
{
    // Each client session of the endpoint keeps the plain server running.
    options.on_client_opened = [this] { locks_.Lock(); };
    options.on_client_closed = [this] { locks_.Unlock(); };
    options.event_tables.emplace("IVelkDataService", CVelkDataService::EventTable());
    options.event_tables.emplace("IRCPSession", CRCPSession::EventTable());
    options.event_tables.emplace("IRCPBitmap", CRCPBitmap::EventTable());
    options.pages.emplace(kDisplayPagePrefix, DisplayPageHtml());
    return ReadAutomationOptions(options);
}

void CVelkModule::OnControl(Apartment& apartment, const std::shared_ptr<IVelkDataService>& root,
                            ServiceControl control)
{
    switch (control) {
    case ServiceControl::Stop:
        apartment.RequestStop();
        return;
    case ServiceControl::ParamChange:
        // Reload runs as a task of the main apartment like every other call.
        apartment.Post([root] { root->Reload(); });
        return;
    case ServiceControl::Unknown:
        apartment.Post([] { EventLog::ReportText(EventLogType::Information, kBadServiceRequest); });
        return;
    }
}

HRESULT CVelkModule::Loop(Apartment& apartment)
{
    const int signalled = apartment.PumpUntil({apartment.stop_requested(), quit_}, kInfinite);
    return signalled >= 0 ? S_OK : E_UNEXPECTED;
}

} // namespace velk
