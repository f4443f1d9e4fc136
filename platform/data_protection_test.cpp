#include "platform/data_protection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace velk {
namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr uid_t kNobody = 65534;

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Runs work in a child process and returns its exit status (-1 when it did not exit).
template <typename Work> int InChild(Work work)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(work());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class DataProtectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "data_protection_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        folder_ = root_ / "hive";
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::vector<std::string> FolderNames() const
    {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored))
            names.push_back(entry.path().filename());
        return names;
    }

    std::filesystem::path root_;
    std::filesystem::path folder_;
};

TEST_F(DataProtectionTest, RoundTripsWithAndWithoutEntropy)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> entropy;
    };
    const Case cases[] = {
        {"empty data", {}, {}},
        {"password", Bytes("s3cret pass"), {}},
        {"password with entropy", Bytes("s3cret pass"), Bytes("Velk player 00:04:20")},
        {"large binary", std::vector<std::uint8_t>(70000, 0xA5), Bytes("x")},
    };
    const DataProtection protection(folder_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> blob, again;
        ASSERT_EQ(protection.Protect(c.data, c.entropy, blob), S_OK);
        ASSERT_EQ(protection.Protect(c.data, c.entropy, again), S_OK);
        EXPECT_EQ(blob.size(), 1 + 24 + c.data.size() + 16);
        EXPECT_NE(blob, again) << "each blob has its own nonce";
        if (!c.data.empty()) {
            EXPECT_EQ(std::search(blob.begin(), blob.end(), c.data.begin(), c.data.end()),
                      blob.end())
                << "the blob shows the data";
        }

        std::vector<std::uint8_t> data;
        ASSERT_EQ(protection.Unprotect(blob, c.entropy, data), S_OK);
        EXPECT_EQ(data, c.data);
    }
}

TEST_F(DataProtectionTest, OtherEntropyFails)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "x"}, {"x", ""}, {"player-1", "player-2"}, {"abc", "abcd"}};
    const DataProtection protection(folder_);
    for (const auto& [sealed_with, opened_with] : cases) {
        SCOPED_TRACE(std::string(sealed_with) + " / " + opened_with);
        std::vector<std::uint8_t> blob;
        ASSERT_EQ(protection.Protect(Bytes("password"), Bytes(sealed_with), blob), S_OK);
        std::vector<std::uint8_t> data = Bytes("untouched");
        EXPECT_EQ(protection.Unprotect(blob, Bytes(opened_with), data), kInvalidData);
        EXPECT_EQ(data, Bytes("untouched"));
    }
}

TEST_F(DataProtectionTest, DamagedOrTruncatedBlobFails)
{
    const DataProtection protection(folder_);
    std::vector<std::uint8_t> blob;
    ASSERT_EQ(protection.Protect(Bytes("password"), Bytes("entropy"), blob), S_OK);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < blob.size(); ++i) {
        auto damaged = blob;
        damaged[i] ^= 0x01;
        EXPECT_EQ(protection.Unprotect(damaged, Bytes("entropy"), data), kInvalidData)
            << "byte " << i;
    }
    for (std::size_t size = 0; size < blob.size(); ++size) {
        EXPECT_EQ(protection.Unprotect(std::span(blob).first(size), Bytes("entropy"), data),
                  kInvalidData)
            << "size " << size;
    }
    auto longer = blob;
    longer.push_back(0);
    EXPECT_EQ(protection.Unprotect(longer, Bytes("entropy"), data), kInvalidData);
    EXPECT_TRUE(data.empty());
}

TEST_F(DataProtectionTest, BlobOfAnotherMachineFails)
{
    std::vector<std::uint8_t> blob, data;
    ASSERT_EQ(DataProtection(root_ / "other").Protect(Bytes("password"), {}, blob), S_OK);
    ASSERT_EQ(DataProtection(folder_).Protect(Bytes("own"), {}, data), S_OK);
    EXPECT_EQ(DataProtection(folder_).Unprotect(blob, {}, data), kInvalidData);
}

TEST_F(DataProtectionTest, KeyIsPrivateAndMadeOnce)
{
    const DataProtection protection(folder_);
    std::vector<std::uint8_t> blob;
    ASSERT_EQ(protection.Protect(Bytes("a"), {}, blob), S_OK);
    EXPECT_EQ(protection.key_path(), folder_ / "machine.key");
    struct stat status;
    ASSERT_EQ(stat(protection.key_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_size, 32);

    const auto key = ReadFile(protection.key_path());
    ASSERT_EQ(protection.Protect(Bytes("b"), {}, blob), S_OK);
    EXPECT_EQ(ReadFile(protection.key_path()), key);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"machine.key"});
}

// The key's folder is the machine hive's: users may read the hive there, but nobody but its
// owner may put files there (another key among them), whatever umask the creating process has.
TEST_F(DataProtectionTest, KeyIsPrivateAndTheFoldersItMakesWritableByTheirOwnerAlone)
{
    const auto parent = root_ / "lib";
    const auto folder = parent / "velk";
    for (const mode_t mask : {0000, 0022, 0077}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        std::filesystem::remove_all(parent);
        const mode_t previous = umask(mask);
        std::vector<std::uint8_t> blob;
        const HRESULT hr = DataProtection(folder).Protect(Bytes("a"), {}, blob);
        umask(previous);
        ASSERT_EQ(hr, S_OK);
        struct stat status;
        for (const auto& made : {parent, folder}) {
            ASSERT_EQ(stat(made.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, 0755u & ~mask) << made;
        }
        ASSERT_EQ(stat((folder / "machine.key").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
    }
}

TEST_F(DataProtectionTest, ProcessesRacingOnFirstUseShareOneKey)
{
    constexpr int kProcesses = 6;
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(gate[1]);
            char c;
            (void)!read(gate[0], &c, 1); // returns when the parent closes the gate
            std::vector<std::uint8_t> blob;
            if (DataProtection(folder_).Protect(Bytes("from " + std::to_string(i)), {}, blob) !=
                S_OK)
                _exit(1);
            WriteFile(root_ / ("blob" + std::to_string(i)), blob);
            _exit(0);
        }
        children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const DataProtection protection(folder_);
    for (int i = 0; i < kProcesses; ++i) {
        std::vector<std::uint8_t> data;
        EXPECT_EQ(protection.Unprotect(ReadFile(root_ / ("blob" + std::to_string(i))), {}, data),
                  S_OK);
        EXPECT_EQ(data, Bytes("from " + std::to_string(i)));
    }
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"machine.key"});
}

TEST_F(DataProtectionTest, UnprotectWithoutKeyFailsAndMakesNone)
{
    std::vector<std::uint8_t> blob, data;
    ASSERT_EQ(DataProtection(root_ / "other").Protect(Bytes("password"), {}, blob), S_OK);
    EXPECT_EQ(DataProtection(folder_).Unprotect(blob, {}, data),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(DataProtectionTest, DamagedKeyFileFailsAndIsKept)
{
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"empty", {}},
        {"short", std::vector<std::uint8_t>(31, 7)},
        {"long", std::vector<std::uint8_t>(33, 7)}};
    const DataProtection protection(folder_);
    std::filesystem::create_directories(folder_);
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        WriteFile(protection.key_path(), content);
        std::vector<std::uint8_t> blob;
        EXPECT_EQ(protection.Protect(Bytes("a"), {}, blob), kInvalidData);
        EXPECT_EQ(protection.Unprotect(std::vector<std::uint8_t>(64, 1), {}, blob), kInvalidData);
        EXPECT_EQ(ReadFile(protection.key_path()), content);
    }
    std::filesystem::remove(protection.key_path());
    std::filesystem::create_directory(protection.key_path());
    std::vector<std::uint8_t> blob;
    EXPECT_EQ(protection.Protect(Bytes("a"), {}, blob), kInvalidData);
}

TEST_F(DataProtectionTest, KeyUnreadableForTheAccountFailsWithAccessDenied)
{
    const DataProtection protection(folder_);
    std::vector<std::uint8_t> blob;
    ASSERT_EQ(protection.Protect(Bytes("password"), {}, blob), S_OK);
    const auto key = ReadFile(protection.key_path());
    // A user who may read the hive folder but not the key.
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all |
                                            std::filesystem::perms::others_exec);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all |
                                              std::filesystem::perms::others_exec |
                                              std::filesystem::perms::others_read);
    const int result = InChild([&] {
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            return 2;
        if (geteuid() != 0)
            chmod(protection.key_path().c_str(), 0);
        std::vector<std::uint8_t> out;
        const bool denied = protection.Unprotect(blob, {}, out) == E_ACCESSDENIED &&
                            protection.Protect(Bytes("x"), {}, out) == E_ACCESSDENIED;
        return denied ? 0 : 1;
    });
    chmod(protection.key_path().c_str(), 0600);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(protection.key_path()), key) << "a denied caller must not replace the key";
}

TEST_F(DataProtectionTest, KeyMadeByRootBelongsToTheFolderOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    std::filesystem::create_directories(folder_);
    ASSERT_EQ(chown(folder_.c_str(), kNobody, kNobody), 0);
    const DataProtection protection(folder_);
    std::vector<std::uint8_t> blob;
    ASSERT_EQ(protection.Protect(Bytes("password"), {}, blob), S_OK);
    struct stat status;
    ASSERT_EQ(stat(protection.key_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kNobody);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(DataProtection, DefaultKeyLivesBesideTheMachineHive)
{
    const char* saved = std::getenv("VELK_REGISTRY_DIR");
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    setenv("VELK_REGISTRY_DIR", "/tmp/velk-hives", 1);
    EXPECT_EQ(DataProtection().key_path(), "/tmp/velk-hives/machine.key");
    unsetenv("VELK_REGISTRY_DIR");
    EXPECT_EQ(DataProtection().key_path(), "/var/lib/velk/machine.key");
    if (previous)
        setenv("VELK_REGISTRY_DIR", previous->c_str(), 1);
}

} // namespace
} // namespace velk
