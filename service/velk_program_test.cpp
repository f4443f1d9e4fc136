// The velk program as an administrator runs it: registration on a scratch hive with a scratch
// unit folder, and both run modes started, signalled and stopped.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "automation/automation_client.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/registry_text.h"
#include "service/service_installer.h"

namespace velk {
namespace {

// Generous: only a program that hangs takes this long.
constexpr int kBoundMs = 10000;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// HKCR and HKLM in the registry's text form.
std::string ExportMachineHive()
{
    std::vector<RegTextKey> keys;
    std::vector<RegTextKey> machine;
    EXPECT_EQ(ExportRegistryText(Hive::ClassesRoot, "", keys), S_OK);
    EXPECT_EQ(ExportRegistryText(Hive::LocalMachine, "", machine), S_OK);
    keys.insert(keys.end(), machine.begin(), machine.end());
    return WriteRegistryText(keys);
}

std::optional<std::string> LocalService()
{
    RegKey key;
    std::string value;
    if (FAILED(key.Open(Hive::ClassesRoot, "AppID\\{B2CF9A20-8880-4466-8EA7-F0151507BAF1}")) ||
        FAILED(key.QueryStringValue("LocalService", value)))
        return std::nullopt;
    return value;
}

// A velk process of the test's: standard output and error collected from one pipe, readiness
// taken from the notification socket it is given, ended by the test's signals (or killed when
// it outlives the test).
class VelkProcess {
public:
    ~VelkProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_fd_ >= 0)
            close(output_fd_);
        if (notify_fd_ >= 0)
            close(notify_fd_);
    }

    // journal: stderr counts as the journal's stream, so that event-log lines show there.
    bool Start(const std::filesystem::path& program, const std::filesystem::path& folder,
               bool journal)
    {
        const auto notify_path = (folder / "notify").string();
        notify_fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (notify_fd_ < 0 || notify_path.size() >= sizeof address.sun_path)
            return false;
        notify_path.copy(address.sun_path, notify_path.size());
        if (bind(notify_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return false;

        int pipe_fds[2];
        if (pipe2(pipe_fds, O_CLOEXEC) != 0)
            return false;
        output_fd_ = pipe_fds[0];
        std::vector<std::string> environment;
        for (char** variable = environ; *variable; ++variable) {
            const std::string_view text(*variable);
            if (!text.starts_with("NOTIFY_SOCKET=") && !text.starts_with("JOURNAL_STREAM="))
                environment.emplace_back(text);
        }
        environment.push_back("NOTIFY_SOCKET=" + notify_path);
        struct stat status {};
        if (journal && fstat(pipe_fds[1], &status) == 0) {
            environment.push_back("JOURNAL_STREAM=" + std::to_string(status.st_dev) + ":" +
                                  std::to_string(status.st_ino));
        }
        std::vector<char*> envp;
        for (auto& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string program_text = program.string();
        char* argv[] = {program_text.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        if (spawned != 0)
            pid_ = -1;
        return spawned == 0;
    }

    // The state the program sent first ("READY=1" when it is serving).
    std::string WaitNotification()
    {
        pollfd poll_fd{notify_fd_, POLLIN, 0};
        if (poll(&poll_fd, 1, kBoundMs) != 1)
            return "(no notification)";
        char buffer[256];
        const ssize_t size = recv(notify_fd_, buffer, sizeof buffer, 0);
        return size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : "(recv failed)";
    }

    void Signal(int signal) { kill(pid_, signal); }

    // Reads the output until text shows in it; false when it does not within the bound.
    bool WaitForOutput(std::string_view text)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }

    // The exit status once the program has ended by itself, reading its output to the end;
    // -1 when it was ended by a signal or did not end within the bound (then it is killed).
    int WaitExit()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(pid_, SIGKILL);
                break;
            }
            if (!ReadSome(static_cast<int>(left.count())))
                break; // end of output: the program has gone
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& output() const { return output_; }

private:
    // False at the end of the output or after timeout_ms without any.
    bool ReadSome(int timeout_ms)
    {
        pollfd poll_fd{output_fd_, POLLIN, 0};
        if (poll(&poll_fd, 1, timeout_ms) != 1)
            return false;
        char buffer[4096];
        const ssize_t size = read(output_fd_, buffer, sizeof buffer);
        if (size <= 0)
            return false;
        output_.append(buffer, static_cast<std::size_t>(size));
        return true;
    }

    pid_t pid_ = -1;
    int output_fd_ = -1;
    int notify_fd_ = -1;
    std::string output_;
};

// A port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

class VelkProgramTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        units_ = folder() / "units";
        std::filesystem::create_directory(units_);
        setenv("VELK_SYSTEMD_UNIT_DIR", units_.c_str(), 1);
    }

    // Services of tests that run side by side each get an endpoint of their own.
    static void UseFreePort()
    {
        RegKey key;
        ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
        ASSERT_EQ(key.SetDWORDValue("AutomationPort", FreePort()), S_OK);
    }
    void TearDown() override
    {
        unsetenv("VELK_SYSTEMD_UNIT_DIR");
        RegistryFixture::TearDown();
    }

    static std::filesystem::path BuiltVelk() { return ProgramFolder() / "velk"; }

    // An installation of its own: bin/velk, the platform library in lib/ and the sample
    // plug-in module in lib/velk/.
    std::filesystem::path Install()
    {
        const auto prefix = folder() / "install";
        std::filesystem::create_directories(prefix / "bin");
        std::filesystem::create_directories(prefix / "lib" / "velk");
        std::filesystem::copy_file(BuiltVelk(), prefix / "bin" / "velk");
        std::filesystem::copy_file(ProgramFolder().parent_path() / "lib" / "libvelkplatform.so",
                                   prefix / "lib" / "libvelkplatform.so");
        std::filesystem::copy_file(VELK_SAMPLE_MODULE, prefix / "lib" / "velk" / "sample.so");
        return prefix / "bin" / "velk";
    }

    ProgramResult Velk(const std::filesystem::path& program, const std::string& argument)
    {
        return RunProgram({program.string(), argument});
    }

    std::filesystem::path units_;
};

// What registration writes into a machine hive that holds one setting, for the program at
// @PROGRAM@ in the folder @BIN@ with the sample plug-in module at @MODULE@.
constexpr std::string_view kRegisteredLayout = R"(Velk Registry 1

[HKCR]

[HKCR\AppID]

[HKCR\AppID\Velk.EXE]
"AppID"="{B2CF9A20-8880-4466-8EA7-F0151507BAF1}"

[HKCR\AppID\{B2CF9A20-8880-4466-8EA7-F0151507BAF1}]
@="Velk"

[HKCR\CLSID]

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}]
@="RCPRegion Class"
"AppID"="{B2CF9A20-8880-4466-8EA7-F0151507BAF1}"

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}\LocalServer32]
@="@PROGRAM@"

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}\ProgID]
@="Velk.RCPRegion.1"

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}\Programmable]

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}\TypeLib]
@="{259D9A13-A94E-48E9-9971-6EBF8AAC6830}"

[HKCR\CLSID\{5FD59ADE-1FD1-4602-BA09-E25702E058B5}\VersionIndependentProgID]
@="Velk.RCPRegion"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}]
@="Velk Sample"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\Implemented Categories]

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\Implemented Categories\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2EC0}]

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\InprocServer32]
@="@MODULE@"
"ThreadingModel"="Apartment"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\ProgID]
@="Velk.Sample.1"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}\VersionIndependentProgID]
@="Velk.Sample"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E02}]
@="Velk Other Sample"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E02}\InprocServer32]
@="@MODULE@"
"ThreadingModel"="Apartment"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E03}]
@="Velk Sample Pages"

[HKCR\CLSID\{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E03}\InprocServer32]
@="@MODULE@"
"ThreadingModel"="Apartment"

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}]
@="Velk Data Service Class"
"AppID"="{B2CF9A20-8880-4466-8EA7-F0151507BAF1}"

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}\LocalServer32]
@="@PROGRAM@"

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}\ProgID]
@="Velk.DataService.1"

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}\Programmable]

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}\TypeLib]
@="{259D9A13-A94E-48E9-9971-6EBF8AAC6830}"

[HKCR\CLSID\{92A19532-9242-4F4B-BB37-999420208A1E}\VersionIndependentProgID]
@="Velk.DataService"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}]
@="RCP Bitmap class"
"AppID"="{B2CF9A20-8880-4466-8EA7-F0151507BAF1}"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\DataFormats]

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\DataFormats\DefaultFile]
@="2"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\DataFormats\GetSet]

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\DataFormats\GetSet\0]
@="3,1,1,1"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\LocalServer32]
@="@PROGRAM@"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\MiscStatus]
@="74256"

[HKCR\CLSID\{971C5C19-CE48-45BB-A092-5FB9E35843C7}\TypeLib]
@="{259D9A13-A94E-48E9-9971-6EBF8AAC6830}"

[HKCR\Component Categories]

[HKCR\Component Categories\{361D8BA1-B0FC-4954-B705-08938E54BAA9}]
"409"="Velk Melodeck Synchronous Data Services"

[HKCR\Component Categories\{B6104729-944B-477A-AC5C-D63051EA4C77}]
"409"="Velk Melodeck Asynchronous Data Services"

[HKCR\TypeLib]

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}]

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}\1.0]
@="Velk 1.0 Data Server Type Library"

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}\1.0\0]

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}\1.0\0\win32]
@="@PROGRAM@"

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}\1.0\FLAGS]
@="0"

[HKCR\TypeLib\{259D9A13-A94E-48E9-9971-6EBF8AAC6830}\1.0\HELPDIR]
@="@BIN@"

[HKCR\Velk.DataService]
@="Velk Data Service Class"

[HKCR\Velk.DataService\CLSID]
@="{92A19532-9242-4F4B-BB37-999420208A1E}"

[HKCR\Velk.DataService\CurVer]
@="Velk.DataService.1"

[HKCR\Velk.DataService.1]
@="Velk Data Service Class"

[HKCR\Velk.DataService.1\CLSID]
@="{92A19532-9242-4F4B-BB37-999420208A1E}"

[HKCR\Velk.RCPRegion]
@="RCPRegion Class"

[HKCR\Velk.RCPRegion\CLSID]
@="{5FD59ADE-1FD1-4602-BA09-E25702E058B5}"

[HKCR\Velk.RCPRegion\CurVer]
@="Velk.RCPRegion.1"

[HKCR\Velk.RCPRegion.1]
@="RCPRegion Class"

[HKCR\Velk.RCPRegion.1\CLSID]
@="{5FD59ADE-1FD1-4602-BA09-E25702E058B5}"

[HKCR\Velk.Sample]
@="Velk Sample"

[HKCR\Velk.Sample\CLSID]
@="{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}"

[HKCR\Velk.Sample\CurVer]
@="Velk.Sample.1"

[HKCR\Velk.Sample.1]
@="Velk Sample"

[HKCR\Velk.Sample.1\CLSID]
@="{6B2D0B1E-94D5-4D0C-9F2B-3E7A4C1D2E01}"

[HKLM]

[HKLM\SOFTWARE]

[HKLM\SOFTWARE\Velk]

[HKLM\SOFTWARE\Velk\DataServer]
"AnsiCodePage"="WINDOWS-1250"

[HKLM\SOFTWARE\Velk\DataServer\DataProviders]

[HKLM\SOFTWARE\Velk\DataServer\iTunes]

)";

// What unregistration leaves of it: the component categories (of every package) and the
// settings that were there before.
constexpr std::string_view kUnregisteredLayout = R"(Velk Registry 1

[HKCR]

[HKCR\AppID]

[HKCR\CLSID]

[HKCR\Component Categories]

[HKCR\Component Categories\{361D8BA1-B0FC-4954-B705-08938E54BAA9}]
"409"="Velk Melodeck Synchronous Data Services"

[HKCR\Component Categories\{B6104729-944B-477A-AC5C-D63051EA4C77}]
"409"="Velk Melodeck Asynchronous Data Services"

[HKCR\TypeLib]

[HKLM]

[HKLM\SOFTWARE]

[HKLM\SOFTWARE\Velk]

[HKLM\SOFTWARE\Velk\DataServer]
"AnsiCodePage"="WINDOWS-1250"

)";

// A setting of the service's that registration and unregistration leave alone.
void SetAnsiCodePage()
{
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
    ASSERT_EQ(key.SetStringValue("AnsiCodePage", "WINDOWS-1250"), S_OK);
}

TEST_F(VelkProgramTest, RegServerWritesTheClassesAppIdTypeLibAndPlugInModules)
{
    const auto program = Install();
    SetAnsiCodePage();
    const auto result = Velk(program, "-RegServer");
    ASSERT_EQ(result.status, 0) << result.output;

    std::string expected(kRegisteredLayout);
    expected = ReplaceAll(expected, "@MODULE@", (folder() / "install/lib/velk/sample.so").string());
    expected = ReplaceAll(expected, "@PROGRAM@", program.string());
    expected = ReplaceAll(expected, "@BIN@", program.parent_path().string());
    EXPECT_EQ(ExportMachineHive(), expected);
    EXPECT_FALSE(LocalService());
    EXPECT_FALSE(std::filesystem::exists(units_ / "velk.service"));
}

TEST_F(VelkProgramTest, ServiceInstallsTheUnitAndRegServerTakesItBack)
{
    const auto program = BuiltVelk();
    auto result = Velk(program, "-Service");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(LocalService(), "Velk");
    EXPECT_EQ(ReadFile(units_ / "velk.service"), ServiceInstaller::UnitText(program));
    std::string server;
    RegKey key;
    ASSERT_EQ(
        key.Open(Hive::ClassesRoot, "CLSID\\{92A19532-9242-4F4B-BB37-999420208A1E}\\LocalServer32"),
        S_OK);
    ASSERT_EQ(key.QueryStringValue("", server), S_OK);
    EXPECT_EQ(server, program.string());

    result = Velk(program, "/RegServer");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_FALSE(LocalService());
    EXPECT_FALSE(std::filesystem::exists(units_ / "velk.service"));
    EXPECT_EQ(key.Open(Hive::ClassesRoot, "Velk.DataService\\CLSID"), S_OK)
        << "still registered as a plain server";
}

TEST_F(VelkProgramTest, UnregServerLeavesOnlyTheCategoriesAndOtherSettings)
{
    const auto program = Install();
    SetAnsiCodePage();
    auto result = Velk(program, "-Service");
    ASSERT_EQ(result.status, 0) << result.output;
    ASSERT_TRUE(std::filesystem::exists(units_ / "velk.service"));

    result = Velk(program, "--unregserver");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(ExportMachineHive(), kUnregisteredLayout);
    EXPECT_FALSE(std::filesystem::exists(units_ / "velk.service"));

    // Nothing left to remove is no failure.
    result = Velk(program, "-UnregServer");
    EXPECT_EQ(result.status, 0) << result.output;
}

TEST_F(VelkProgramTest, WithoutServiceManagerOnlyTheServiceRegistrationFails)
{
    unsetenv("VELK_SYSTEMD_UNIT_DIR");
    if (std::filesystem::exists("/run/systemd/system") ||
        std::filesystem::exists("/etc/systemd/system/velk.service"))
        GTEST_SKIP() << "systemd runs here";
    auto result = Velk(BuiltVelk(), "-RegServer");
    EXPECT_EQ(result.status, 0) << result.output;

    result = Velk(BuiltVelk(), "-Service");
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("Could not open Service Manager"), std::string::npos)
        << result.output;
    EXPECT_FALSE(LocalService()) << "no service to run as";
}

TEST_F(VelkProgramTest, ModuleThatCannotBeLoadedIsToldAndTheRestRegistered)
{
    const auto program = Install();
    const auto broken = program.parent_path().parent_path() / "lib" / "velk" / "broken.so";
    std::ofstream(broken) << "not a shared library";

    const auto result = Velk(program, "-RegServer");
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("Could not register module " + broken.string()), std::string::npos)
        << result.output;
    RegKey key;
    EXPECT_EQ(key.Open(Hive::ClassesRoot, "Velk.DataService\\CLSID"), S_OK);
    EXPECT_EQ(key.Open(Hive::ClassesRoot, "Velk.Sample\\CLSID"), S_OK);
}

TEST_F(VelkProgramTest, UnknownSwitchShowsTheUsage)
{
    const auto result = Velk(BuiltVelk(), "-RegisterServer");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.output.find("Usage: velk"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(folder() / "machine.db")) << "nothing registered";
}

// Both modes start, tell systemd they are ready, take SIGHUP (reload) without stopping and
// end cleanly on SIGTERM.
TEST_F(VelkProgramTest, RunsInBothModesUntilStopped)
{
    UseFreePort();
    struct Case {
        const char* registration;
        bool service;
    };
    const Case kCases[] = {{"-RegServer", false}, {"-Service", true}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.registration);
        const auto registered = Velk(BuiltVelk(), c.registration);
        ASSERT_EQ(registered.status, 0) << registered.output;

        VelkProcess velk;
        std::filesystem::remove(folder() / "notify");
        ASSERT_TRUE(velk.Start(BuiltVelk(), folder(), true));
        ASSERT_EQ(velk.WaitNotification(), "READY=1") << velk.output();
        velk.Signal(SIGHUP);
        velk.Signal(SIGTERM);
        EXPECT_EQ(velk.WaitExit(), 0) << velk.output();
        EXPECT_EQ(velk.WaitNotification(), "STOPPING=1");

        const auto started =
            velk.output().find("Velk: information category=0 id=0x0: Service started");
        const auto stopped =
            velk.output().find("Velk: information category=0 id=0x0: Service stopped");
        if (c.service) {
            EXPECT_NE(started, std::string::npos) << velk.output();
            EXPECT_NE(stopped, std::string::npos) << velk.output();
            EXPECT_LT(started, stopped) << velk.output();
        } else {
            EXPECT_EQ(started, std::string::npos) << velk.output();
            EXPECT_EQ(stopped, std::string::npos) << velk.output();
        }
    }
}

TEST_F(VelkProgramTest, PlainServerShowsEventLogLinesOnTheConsole)
{
    UseFreePort();
    VelkProcess velk;
    ASSERT_TRUE(velk.Start(BuiltVelk(), folder(), false));
    ASSERT_EQ(velk.WaitNotification(), "READY=1") << velk.output();
    velk.Signal(SIGUSR1);
    EXPECT_TRUE(velk.WaitForOutput("Velk: information category=0 id=0x0: Bad service request\n"))
        << velk.output();
    velk.Signal(SIGINT);
    EXPECT_EQ(velk.WaitExit(), 0) << velk.output();
}

// A second service finds the endpoint's port taken: it ends at once with a clear message,
// rather than running on without an endpoint and driving the same players.
TEST_F(VelkProgramTest, AServiceWhoseEndpointCannotOpenEndsWithItsReason)
{
    const int taken = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    ASSERT_EQ(getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size), 0);
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
    ASSERT_EQ(key.SetDWORDValue("AutomationPort", ntohs(address.sin_port)), S_OK);

    VelkProcess velk;
    ASSERT_TRUE(velk.Start(BuiltVelk(), folder(), false));
    EXPECT_EQ(velk.WaitExit(), 1) << velk.output();
    EXPECT_NE(velk.output().find("The automation endpoint could not be opened"), std::string::npos)
        << velk.output();
    close(taken);
}

// The administrator stores the endpoint's token with velk -SetToken: the machine hive, which
// every user reads, holds it only sealed with the machine key, and the service asks every
// client for it. A token stored as text by hand still counts, and the service warns of it.
TEST_F(VelkProgramTest, SetTokenKeepsTheTokenFromReadersOfTheHiveAndTheServiceAsksForIt)
{
    const std::uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    RegKey key;
    ASSERT_EQ(key.Create(Hive::LocalMachine, "SOFTWARE\\Velk\\DataServer"), S_OK);
    ASSERT_EQ(key.SetDWORDValue("AutomationPort", port), S_OK);
    const auto stored = RunProgram({BuiltVelk().string(), "-SetToken"}, "s3cret-token\n");
    ASSERT_EQ(stored.status, 0) << stored.output;
    EXPECT_EQ(stored.output, "");
    std::ifstream hive(folder() / "machine.db", std::ios::binary);
    const std::string hive_bytes{std::istreambuf_iterator<char>(hive), {}};
    EXPECT_EQ(hive_bytes.find("s3cret-token"), std::string::npos);

    struct Case {
        const char* what;
        bool plain; // stored as text: the service warns of it on its console
    };
    const Case kCases[] = {{"protected", false}, {"plain", true}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.plain) {
            ASSERT_EQ(key.SetStringValue("AutomationToken", "s3cret-token"), S_OK);
        }
        VelkProcess velk;
        std::filesystem::remove(folder() / "notify");
        ASSERT_TRUE(velk.Start(BuiltVelk(), folder(), false));
        ASSERT_EQ(velk.WaitNotification(), "READY=1") << velk.output();
        std::shared_ptr<AutomationClient> client;
        EXPECT_EQ(AutomationClient::Connect("127.0.0.1", port, "", client), E_ACCESSDENIED);
        EXPECT_EQ(AutomationClient::Connect("127.0.0.1", port, "wrong", client), E_ACCESSDENIED);
        EXPECT_EQ(AutomationClient::Connect("127.0.0.1", port, "s3cret-token", client), S_OK);
        client.reset();
        velk.Signal(SIGTERM);
        EXPECT_EQ(velk.WaitExit(), 0) << velk.output();
        const bool warned = velk.output().find("stored as plain text, which every local user "
                                               "can read") != std::string::npos;
        EXPECT_EQ(warned, c.plain) << velk.output();
    }
}

} // namespace
} // namespace velk
