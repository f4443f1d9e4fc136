#include "service/service_installer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ExecStartLine(const std::string& unit)
{
    const auto start = unit.find("\nExecStart=");
    if (start == std::string::npos)
        return {};
    return unit.substr(start + 1, unit.find('\n', start + 1) - start - 1);
}

TEST(ServiceInstallerUnit, DemandStartedNotifyServiceAfterTheNetwork)
{
    const auto unit = ServiceInstaller::UnitText("/usr/bin/velk");
    ASSERT_TRUE(unit);
    for (const char* line :
         {"[Service]\n", "\nType=notify\n", "\nAfter=network-online.target\n",
          "\nWants=network-online.target\n", "\nNoNewPrivileges=yes\n", "\nProtectSystem=strict\n",
          "\nReadWritePaths=/var/lib/velk\n", "\nStateDirectory=velk\n", "\nPrivateTmp=yes\n",
          "\nExecReload=/bin/kill -HUP $MAINPID\n", "\nRestart=on-failure\n"}) {
        EXPECT_NE(unit->find(line), std::string::npos) << "missing " << line << " in\n" << *unit;
    }
    // Installed, never enabled: nothing to be wanted by.
    EXPECT_EQ(unit->find("[Install]"), std::string::npos) << *unit;
    EXPECT_EQ(unit->find("WantedBy"), std::string::npos) << *unit;
}

TEST(ServiceInstallerUnit, ExecStartNamesTheProgramAsSystemdReadsIt)
{
    struct Case {
        const char* program;
        std::optional<std::string> exec_start;
    };
    const Case kCases[] = {
        {"/usr/bin/velk", "ExecStart=\"/usr/bin/velk\""},
        {"/opt/My Velk/bin/velk", "ExecStart=\"/opt/My Velk/bin/velk\""},
        {"/opt/100%/velk", "ExecStart=\"/opt/100%%/velk\""},
        {"/opt/$HOME/velk", "ExecStart=\"/opt/$HOME/velk\""},
        // Paths that systemd will not run, or that would end the line.
        {"/opt/a\"b/velk", std::nullopt},
        {"/opt/a'b/velk", std::nullopt},
        {"/opt/a\\b/velk", std::nullopt},
        {"/opt/a\nExecStartPre=/bin/rm/velk", std::nullopt},
        {"/opt/a\tb/velk", std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.program);
        const auto unit = ServiceInstaller::UnitText(c.program);
        ASSERT_EQ(unit.has_value(), c.exec_start.has_value());
        if (unit) {
            EXPECT_EQ(ExecStartLine(*unit), *c.exec_start);
        }
    }
}

// systemd itself accepts the unit for a program in a folder with a blank and a "%" in its name.
TEST(ServiceInstallerUnit, SystemdAnalyzeVerifiesTheUnit)
{
    if (RunProgram({"systemd-analyze", "--version"}).status != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    std::string pattern = (std::filesystem::temp_directory_path() / "velkunit-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path scratch = pattern;
    const auto program = scratch / "My 100% Velk" / "velk";
    std::filesystem::create_directories(program.parent_path());
    std::filesystem::copy_file(ProgramFolder() / "velk", program);
    const auto unit = ServiceInstaller::UnitText(program);
    ASSERT_TRUE(unit);
    const auto unit_path = scratch / "velk.service";
    std::ofstream(unit_path) << *unit;

    const auto result = RunProgram({"systemd-analyze", "verify", unit_path.string()});
    EXPECT_EQ(result.status, 0) << result.output << "\n" << *unit;
    std::filesystem::remove_all(scratch);
}

class ServiceInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velkunits-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("VELK_SYSTEMD_UNIT_DIR", folder_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("VELK_SYSTEMD_UNIT_DIR");
        std::filesystem::remove_all(folder_);
    }

    std::filesystem::path folder_;
    std::ostringstream messages_;
};

TEST_F(ServiceInstallerTest, InstallWritesTheUnitOnceAndRemoveDeletesIt)
{
    ServiceInstaller installer(messages_);
    const auto unit_path = folder_ / "velk.service";
    EXPECT_EQ(installer.UnitPath(), unit_path);
    EXPECT_FALSE(installer.IsInstalled());
    EXPECT_EQ(installer.Remove(), S_OK) << "nothing to remove is no failure";

    ASSERT_EQ(installer.Install("/usr/bin/velk"), S_OK) << messages_.str();
    EXPECT_TRUE(installer.IsInstalled());
    EXPECT_EQ(ReadFile(unit_path), *ServiceInstaller::UnitText("/usr/bin/velk"));
    struct stat status {};
    ASSERT_EQ(stat(unit_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);

    // An installed service is left as it is.
    EXPECT_EQ(installer.Install("/opt/other/velk"), S_OK);
    EXPECT_EQ(ReadFile(unit_path), *ServiceInstaller::UnitText("/usr/bin/velk"));

    EXPECT_EQ(installer.Remove(), S_OK) << messages_.str();
    EXPECT_FALSE(installer.IsInstalled());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 0)
        << "no temporary file left behind";
    EXPECT_EQ(messages_.str(), "");
}

TEST_F(ServiceInstallerTest, ProgramSystemdCannotRunIsRefusedWithItsText)
{
    ServiceInstaller installer(messages_);
    EXPECT_TRUE(FAILED(installer.Install("/opt/a\"b/velk")));
    EXPECT_FALSE(installer.IsInstalled());
    EXPECT_NE(messages_.str().find("Could not start service"), std::string::npos)
        << messages_.str();
}

TEST_F(ServiceInstallerTest, WithoutServiceManagerInstallFailsWithItsText)
{
    unsetenv("VELK_SYSTEMD_UNIT_DIR");
    if (std::filesystem::exists("/run/systemd/system"))
        GTEST_SKIP() << "systemd runs here";
    ServiceInstaller installer(messages_);
    if (installer.IsInstalled())
        GTEST_SKIP() << "a velk unit is installed here";
    EXPECT_TRUE(FAILED(installer.Install("/usr/bin/velk")));
    EXPECT_NE(messages_.str().find("Could not open Service Manager"), std::string::npos)
        << messages_.str();
}

} // namespace
} // namespace velk
