// Test support for the registry: a fresh registry folder per test (VELK_REGISTRY_DIR), and
// running the programs built beside the test (velkreg, registry_writer) as other processes.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace velk {

struct ProgramResult {
    int status = -1;    // exit status, -1 when it did not exit normally
    std::string output; // stdout and stderr together
};

// A file's bytes; empty when it cannot be read.
inline std::string ReadTextFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The folder of the running test program: the other programs are built there too.
inline std::filesystem::path ProgramFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// A program (argv, the first element a path) run in the background with the test's environment
// and its output dropped, until the object goes: then it is stopped with SIGTERM and waited for.
class BackgroundProgram {
public:
    explicit BackgroundProgram(const std::vector<std::string>& argv)
    {
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BackgroundProgram()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Runs argv (the first element a path) with the test's environment and input on its standard
// input (small enough for a pipe's buffer), and waits for it.
inline ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& input = {})
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    ProgramResult result;
    int pipe_fds[2];
    int input_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
        return result;
    if (pipe2(input_fds, O_CLOEXEC) != 0) {
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input_fds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    close(input_fds[0]);
    if (spawned == 0 && !input.empty()) {
        // A program that ends before reading its input must not take the test with it.
        const auto previous = signal(SIGPIPE, SIG_IGN);
        (void)!write(input_fds[1], input.data(), input.size());
        signal(SIGPIPE, previous);
    }
    close(input_fds[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t size;
        while ((size = read(pipe_fds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<std::size_t>(size));
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(pipe_fds[0]);
    return result;
}

inline ProgramResult RunVelkreg(std::vector<std::string> args)
{
    args.insert(args.begin(), (ProgramFolder() / "velkreg").string());
    return RunProgram(args);
}

// What a test program is given in the environment for its read-only run through RunReadingOnly.
constexpr const char* kReadOnlyChild = "VELK_TEST_READ_ONLY_CHILD";

// Runs command (its first element a path) as a user who may only read the machine hive in the
// registry folder: the folder and its machine.db are read-only for the run (and writable by
// their owner again afterwards), and a test that runs as root runs the command as nobody.
// nullopt when no process can be run as nobody.
inline std::optional<ProgramResult> RunReadingOnly(const std::filesystem::path& folder,
                                                   const std::vector<std::string>& command)
{
    std::vector<std::string> argv;
    if (geteuid() == 0) {
        argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        std::vector<std::string> probe = argv;
        probe.push_back("true");
        if (RunProgram(probe).status != 0)
            return std::nullopt;
    }
    argv.insert(argv.end(), command.begin(), command.end());
    namespace fs = std::filesystem;
    const fs::path hive = folder / "machine.db";
    const auto read = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto enter = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    std::error_code ignored;
    fs::permissions(hive, read, ignored);
    fs::permissions(folder, read | enter, ignored);
    ProgramResult result = RunProgram(argv);
    fs::permissions(folder, fs::perms::owner_all, ignored);
    fs::permissions(hive, fs::perms::owner_read | fs::perms::owner_write, ignored);
    return result;
}

// Each test gets an empty registry folder of its own, removed afterwards.
class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkreg-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("VELK_REGISTRY_DIR", folder_.c_str(), 1);
        // No test outside a private network namespace may look for players over UPnP.
        setenv("VELK_DISCOVERY", "off", 1);
    }

    void TearDown() override
    {
        unsetenv("VELK_REGISTRY_DIR");
        std::error_code ignored;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(folder_, ignored);
    }

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

} // namespace velk
