#include "tools/sim/sim_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/sim/control_client.h"
#include "tools/sim/simulator.h"

extern char** environ;

namespace velk::sim::testing {
namespace {

constexpr const char* kSettlingWords[] = {"OK",
                                          "TransactionComplete",
                                          "ListResultEnd",
                                          "PowerStateOn",
                                          "GenericError",
                                          "CommandDispatchError",
                                          "ErrorDisconnected",
                                          "ErrorTransactionNotPending",
                                          "ErrorTransactionPending",
                                          "ParameterError",
                                          "ConnectionFailedTooManyConnections",
                                          "UnknownCommand",
                                          "ErrorNotSubscribed",
                                          "ErrorNoServer",
                                          "ConnectionFailedPassword",
                                          "ErrorInitialSetupRequired",
                                          "ErrorCantRunWithServerConnected",
                                          "ErrorAwaitingPostUpgradeReboot"};

// An address block per test process: 127.<a>.<b>.2 and up, from the process id.
std::string FirstAddress()
{
    const int pid = static_cast<int>(getpid());
    return "127." + std::to_string(100 + (pid / 250) % 100) + "." + std::to_string(pid % 250 + 1) +
           ".2";
}

bool WaitReadable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) == 1;
}

} // namespace

SimProcess::SimProcess(std::vector<std::string> args) : first_address_(FirstAddress())
{
    char directory[] = "/tmp/velk-sim-test-XXXXXX";
    if (!mkdtemp(directory))
        return;
    directory_ = directory;
    control_ = directory_ + "/control.sock";

    std::vector<std::string> argv = {VELK_SIM_BINARY, "--address", first_address_, "--control",
                                     control_};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int spawned =
        posix_spawn(&pid_, VELK_SIM_BINARY, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(out[0]);
        return;
    }
    // The simulator prints one line once every socket is bound.
    std::string line;
    char c;
    while (WaitReadable(out[0], PlayerSocket::kSafetyMs) && read(out[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    close(out[0]);
    ready_ = line.rfind("velk-sim: ready", 0) == 0;
}

SimProcess::~SimProcess()
{
    Stop();
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

int SimProcess::Stop()
{
    if (pid_ < 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    const pid_t done = waitpid(pid_, &status, 0);
    pid_ = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string SimProcess::address(int index) const
{
    return AddressAfter(first_address_, index);
}

std::vector<std::string> SimProcess::Control(std::string_view request) const
{
    ControlClient client;
    std::string error;
    std::vector<std::string> lines;
    if (FAILED(client.Connect(control_, error)) || FAILED(client.Request(request, lines, error)))
        return {"ERROR " + error};
    return lines;
}

FrameBuffer SimProcess::Frame(int index) const
{
    const auto lines = Control("frame " + address(index));
    auto frame = lines.size() == 1 ? ControlClient::ParseFrame(lines[0]) : std::nullopt;
    return frame ? *frame : FrameBuffer(0, 0);
}

std::vector<std::string> SimProcess::Received(int index) const
{
    std::vector<std::string> texts;
    for (const auto& line : Control("received " + address(index) + " 500")) {
        const std::size_t blank = line.find(' ');
        std::string text = blank == std::string::npos ? "" : line.substr(blank + 1);
        while (text.ends_with(' '))
            text.pop_back();
        texts.push_back(std::move(text));
    }
    return texts;
}

CommandResult RunSim(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {VELK_SIM_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    int out[2];
    CommandResult result;
    if (pipe2(out, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, VELK_SIM_BINARY, &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned == 0) {
        char chunk[65536];
        while (WaitReadable(out[0], PlayerSocket::kSafetyMs)) {
            const ssize_t got = read(out[0], chunk, sizeof chunk);
            if (got <= 0)
                break;
            result.out.append(chunk, static_cast<std::size_t>(got));
        }
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
    }
    close(out[0]);
    return result;
}

PlayerSocket::PlayerSocket(const std::string& address, int port)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

PlayerSocket::~PlayerSocket()
{
    if (fd_ >= 0)
        close(fd_);
}

void PlayerSocket::Send(std::string_view bytes)
{
    if (fd_ >= 0)
        (void)send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string PlayerSocket::ReadUntil(std::string_view marker)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
    for (;;) {
        const std::size_t at = buffer_.find(marker);
        if (at != std::string::npos) {
            std::string text = buffer_.substr(0, at + marker.size());
            buffer_.erase(0, at + marker.size());
            return text;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        char chunk[65536];
        if (fd_ < 0 || left.count() <= 0 || !WaitReadable(fd_, static_cast<int>(left.count())))
            break;
        const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0)
            break;
        buffer_.append(chunk, static_cast<std::size_t>(got));
    }
    std::string text;
    text.swap(buffer_);
    return text;
}

std::string PlayerSocket::ReadLine()
{
    std::string line = ReadUntil("\r\n");
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        line.resize(line.size() - 2);
    else
        line.clear();
    return line;
}

bool PlayerSocket::WaitClosed()
{
    char chunk[4096];
    while (fd_ >= 0 && WaitReadable(fd_, kSafetyMs)) {
        const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0)
            return true;
        buffer_.append(chunk, static_cast<std::size_t>(got));
    }
    return false;
}

std::vector<std::string> PlayerSocket::Shell(std::string_view command)
{
    Send(std::string(command) + "\r\n");
    const std::string answer = ReadUntil("Melodeck>");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = answer.find("\r\n", start);
        if (end == std::string::npos)
            break;
        if (end > start)
            lines.push_back(answer.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string PlayerSocket::EnterRcp()
{
    Send("mmc\r\n");
    return ReadLine();
}

std::vector<std::string> PlayerSocket::Rcp(std::string_view line, bool single_line)
{
    Send(std::string(line) + "\r\n");
    const std::string word(line.substr(0, line.find(' ')));
    std::vector<std::string> lines;
    bool in_transaction = false;
    for (;;) {
        const std::string reply = ReadLine();
        if (reply.empty())
            return lines;
        lines.push_back(reply);
        if (reply.rfind(word + ": ", 0) != 0)
            continue;
        if (single_line)
            return lines;
        const std::string value = reply.substr(word.size() + 2);
        if (value == "TransactionInitiated")
            in_transaction = true;
        if (value == "TransactionComplete")
            return lines;
        for (const char* settling : kSettlingWords) {
            const bool ends_plain_answer =
                value == "OK" || value == "ListResultEnd" || value == "PowerStateOn";
            if (value == settling && (!in_transaction || !ends_plain_answer))
                return lines;
        }
    }
}

std::vector<std::string> PlayerSocket::Values(std::string_view line)
{
    const std::string word(line.substr(0, line.find(' ')));
    std::vector<std::string> values;
    for (const auto& reply : Rcp(line)) {
        if (reply.rfind(word + ": ", 0) != 0)
            continue;
        const std::string value = reply.substr(word.size() + 2);
        if (value != "TransactionInitiated" && value != "TransactionComplete" &&
            value != "ListResultEnd" && value != "OK" && value.rfind("ListResultSize", 0) != 0)
            values.push_back(value);
    }
    return values;
}

std::string PlayerSocket::DataBytes(std::string_view line)
{
    Send(std::string(line) + "\r\n");
    const std::string header = ReadLine();
    const std::string expected = std::string(line) + ": data bytes: ";
    if (header.rfind(expected, 0) != 0)
        return "bad header: " + header;
    const std::string data = ReadLine();
    if (data.size() != 2 * std::stoul(header.substr(expected.size())))
        return "wrong length: " + header;
    return data;
}

} // namespace velk::sim::testing
