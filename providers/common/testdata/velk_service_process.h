// Test support for the providers' end-to-end tests: `velk` from the build started in the
// foreground with the test's environment (its output dropped), stopped with SIGTERM when the
// test ends; and a wait for a condition that other processes make true.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/registry_test_fixture.h"

namespace velk::testing {

class VelkProcess {
public:
    VelkProcess()
    {
        const std::string program = (ProgramFolder() / "velk").string();
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~VelkProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    VelkProcess(const VelkProcess&) = delete;
    VelkProcess& operator=(const VelkProcess&) = delete;
    bool started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Checks the condition every 100 ms (another process makes it true: there is nothing to wait
// on); false after the safety time.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds safety = std::chrono::seconds(30))
{
    const auto until = std::chrono::steady_clock::now() + safety;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

} // namespace velk::testing
