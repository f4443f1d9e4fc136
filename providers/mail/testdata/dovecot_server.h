// Test support: a real POP3 server on loopback. Dovecot runs as an ordinary process with a
// throw-away configuration in a folder of its own: plain POP3 (with STLS) on a free port of
// 127.0.0.1 and POP3S on the same free port of 127.0.0.1 and 127.0.0.2 (an address the
// certificate does not name), the checked-in self-signed certificate, one user from a passwd file with
// an mbox of the given messages. Dovecot's login processes refuse to run as root: a test run by
// root starts it as "nobody", which then owns the folder.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_test_fixture.h"

namespace velk::testing {

inline constexpr const char* kDovecotProgram = "/usr/sbin/dovecot";
inline constexpr const char* kMailUser = "bob";
inline constexpr const char* kMailPassword = "pa55 word";

inline std::filesystem::path MailTestData()
{
    return std::filesystem::path(VELK_MAIL_TESTDATA);
}

// The checked-in real-world messages, in name order.
inline std::vector<std::string> RealWorldMessages()
{
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(MailTestData() / "messages"))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> messages;
    for (const auto& path : paths)
        messages.push_back(ReadTextFile(path));
    return messages;
}

// A port of 127.0.0.1 that nothing listens on now.
inline std::uint16_t FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

inline bool Accepts(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

class DovecotServer {
public:
    // Generous: only a server that does not start takes this long.
    static constexpr auto kStartWait = std::chrono::seconds(20);

    explicit DovecotServer(const std::vector<std::string>& messages)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-dovecot-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        folder_ = pattern;
        plain_port_ = FreeLoopbackPort();
        tls_port_ = FreeLoopbackPort();

        const bool root = getuid() == 0;
        const passwd* account = root ? getpwnam("nobody") : getpwuid(getuid());
        if (!account)
            return;
        const uid_t uid = account->pw_uid;
        const gid_t gid = account->pw_gid;
        const group* account_group = getgrgid(gid);
        const std::string user = account->pw_name;
        const std::string group_name = account_group ? account_group->gr_name : user;

        const auto mail = folder_ / "mail";
        std::filesystem::create_directories(mail);
        std::filesystem::create_directories(folder_ / "run");
        std::filesystem::create_directories(folder_ / "state");
        WriteMbox(mail / "inbox", messages);
        std::ofstream(folder_ / "passwd") << kMailUser << ":{PLAIN}" << kMailPassword << ":" << uid
                                          << ":" << gid << "::" << mail.string() << "::\n";
        // Copies the server may read whoever it runs as.
        const auto testdata = MailTestData();
        std::filesystem::copy_file(testdata / "server_cert.pem", folder_ / "cert.pem");
        std::filesystem::copy_file(testdata / "server_key.pem", folder_ / "key.pem");
        std::ofstream(folder_ / "dovecot.conf")
            << "base_dir = " << (folder_ / "run").string() << "\n"
            << "state_dir = " << (folder_ / "state").string() << "\n"
            << "instance_name = velk-test\n"
            << "protocols = pop3\n"
            << "listen = 127.0.0.1, 127.0.0.2\n"
            << "default_internal_user = " << user << "\n"
            << "default_internal_group = " << group_name << "\n"
            << "default_login_user = " << user << "\n"
            << "ssl = yes\n"
            << "ssl_cert = <" << (folder_ / "cert.pem").string() << "\n"
            << "ssl_key = <" << (folder_ / "key.pem").string() << "\n"
            << "disable_plaintext_auth = no\n"
            << "auth_mechanisms = plain\n"
            << "log_path = " << (folder_ / "dovecot.log").string() << "\n"
            << "mail_location = mbox:" << mail.string() << ":INBOX=" << (mail / "inbox").string() << "\n"
            << "passdb {\n  driver = passwd-file\n  args = " << (folder_ / "passwd").string() << "\n}\n"
            << "userdb {\n  driver = passwd-file\n  args = " << (folder_ / "passwd").string() << "\n}\n"
            << "service pop3-login {\n  chroot =\n"
            << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << plain_port_ << "\n  }\n"
            << "  inet_listener pop3s {\n    address = 127.0.0.1, 127.0.0.2\n    port = " << tls_port_
            << "\n    ssl = yes\n  }\n}\n"
            << "service anvil {\n  chroot =\n}\n";
        if (root) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
                lchown(entry.path().c_str(), uid, gid);
            chown(folder_.c_str(), uid, gid);
        }

        const std::string config = (folder_ / "dovecot.conf").string();
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            if (root && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
                _exit(126);
            execl(kDovecotProgram, kDovecotProgram, "-F", "-c", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto until = std::chrono::steady_clock::now() + kStartWait;
        while (std::chrono::steady_clock::now() < until) {
            if (Accepts(plain_port_) && Accepts(tls_port_)) {
                ready_ = true;
                return;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    ~DovecotServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }

    bool ready() const { return ready_; }
    std::uint16_t plain_port() const { return plain_port_; }
    std::uint16_t tls_port() const { return tls_port_; }
    // What Dovecot logged, for a failure's message.
    std::string Log() const { return ReadTextFile(folder_ / "dovecot.log"); }

    static std::string Certificate() { return ReadTextFile(MailTestData() / "server_cert.pem"); }
    static std::string OtherCertificate() { return ReadTextFile(MailTestData() / "other_cert.pem"); }

private:
    static void WriteMbox(const std::filesystem::path& path, const std::vector<std::string>& messages)
    {
        std::ofstream mbox(path, std::ios::binary);
        for (const auto& message : messages) {
            mbox << "From sender@example.org Thu Dec 10 10:00:00 2026\n";
            std::istringstream lines(message);
            std::string line;
            while (std::getline(lines, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.starts_with("From "))
                    mbox << '>';
                mbox << line << "\n";
            }
            mbox << "\n";
        }
    }

    std::filesystem::path folder_;
    std::uint16_t plain_port_ = 0;
    std::uint16_t tls_port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
};

} // namespace velk::testing
