#include "platform/event_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

namespace velk {
namespace {

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Keeps reports of these tests out of the machine's syslog and restores the sinks afterwards.
class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override { EventLog::SetOutput(EventLogOutput::None); }
    void TearDown() override
    {
        EventLog::SetConsole(nullptr);
        EventLog::SetOutput(EventLogOutput::None);
    }
};

TEST_F(EventLogTest, RecorderGetsExactlyWhatWasReported)
{
    EventLog::ReportText(EventLogType::Information, "before the recorder");
    RecordingEventLog recording;
    const std::vector<EventLogRecord> reported = {
        {EventLogType::Error, 2, 0xC0020101, {"Null", "80004005"}},
        {EventLogType::Warning, 4, 7, {"line\nbreak", ""}},
        {EventLogType::Success, 1, 0, {}},
    };
    for (const auto& record : reported)
        EventLog::Report(record.type, record.category, record.event_id, record.strings);
    EventLog::ReportText(EventLogType::Information, "Service started");

    auto expected = reported;
    expected.push_back({EventLogType::Information, 0, 0, {"Service started"}});
    EXPECT_EQ(recording.Records(), expected);
}

TEST_F(EventLogTest, LineShowsTypeCategoryIdAndCleanedStrings)
{
    struct Case {
        EventLogRecord record;
        const char* line;
    };
    const Case cases[] = {
        {{EventLogType::Error, 2, 0xC0020101, {"Null", "80004005"}},
         "Velk: error category=2 id=0xc0020101: Null; 80004005"},
        {{EventLogType::Success, 1, 0x1, {}}, "Velk: success category=1 id=0x1"},
        {{EventLogType::Warning, 65535, 0xFFFFFFFF, {"disk"}},
         "Velk: warning category=65535 id=0xffffffff: disk"},
        {{EventLogType::Information, 3, 0, {"Service started"}},
         "Velk: information category=3 id=0x0: Service started"},
        {{static_cast<EventLogType>(16), 1, 2, {}}, "Velk: unknown category=1 id=0x2"},
        {{EventLogType::Error, 1, 1, {"x\nVelk: information category=1 id=0x1: forged"}},
         "Velk: error category=1 id=0x1: x Velk: information category=1 id=0x1: forged"},
        {{EventLogType::Error,
          1,
          1,
          {"a\r\nb", "tab\there", "bell\a", "del\x7f", std::string("nul\0", 4)}},
         "Velk: error category=1 id=0x1: a  b; tab here; bell ; del ; nul "},
        {{EventLogType::Error, 1, 1, {"nel\xC2\x85", "ls\xE2\x80\xA8ps\xE2\x80\xA9", "cut\xC2"}},
         "Velk: error category=1 id=0x1: nel ; ls ps ; cut\xC2"},
        {{EventLogType::Error, 1, 1, {"Caf\xC3\xA9 \xC2\xA0 \xE2\x80\x94 ok"}},
         "Velk: error category=1 id=0x1: Caf\xC3\xA9 \xC2\xA0 \xE2\x80\x94 ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(EventLog::FormatLine(c.record), c.line);
    }
}

TEST_F(EventLogTest, ConsoleEchoesEachLineUntilStopped)
{
    std::ostringstream console;
    EventLog::SetConsole(&console);
    EventLog::ReportText(EventLogType::Information, "Service started");
    EventLog::Report(EventLogType::Error, 2, 0xC0020101, {"Null\r\n", "80004005"});
    EventLog::SetConsole(nullptr);
    EventLog::ReportText(EventLogType::Information, "not echoed");
    EXPECT_EQ(console.str(), "Velk: information category=0 id=0x0: Service started\n"
                             "Velk: error category=2 id=0xc0020101: Null  ; 80004005\n");
}

TEST_F(EventLogTest, JournalLinesCarryTheLevelPrefix)
{
    int pipe_fds[2], socket_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, socket_fds), 0);
    // A pipe when stderr is redirected, a stream socket when the journal holds it.
    for (const auto& [write_fd, read_fd] :
         {std::pair{pipe_fds[1], pipe_fds[0]}, std::pair{socket_fds[0], socket_fds[1]}}) {
        EventLog::SetOutput(EventLogOutput::Journal, write_fd);
        EventLog::Report(EventLogType::Error, 1, 0x10, {"a"});
        EventLog::Report(EventLogType::Warning, 2, 0x20, {});
        EventLog::Report(EventLogType::Information, 3, 0x30, {"b\nc"});
        EventLog::Report(EventLogType::Success, 4, 0x40, {});
        EventLog::SetOutput(EventLogOutput::None);
        close(write_fd);
        EXPECT_EQ(ReadAll(read_fd), "<3>Velk: error category=1 id=0x10: a\n"
                                    "<4>Velk: warning category=2 id=0x20\n"
                                    "<6>Velk: information category=3 id=0x30: b c\n"
                                    "<6>Velk: success category=4 id=0x40\n");
        close(read_fd);
    }
}

TEST_F(EventLogTest, ClosedJournalSocketDoesNotKillTheProcess)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[1]);
    EventLog::SetOutput(EventLogOutput::Journal, fds[0]);
    EXPECT_EQ(EventLog::ReportText(EventLogType::Error, "journal gone"), S_OK);
    close(fds[0]);
}

TEST_F(EventLogTest, ReportsFromManyThreadsStayWholeLines)
{
    constexpr int kThreads = 6;
    constexpr int kReports = 300;
    char path[] = "/tmp/event_log_test.XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    unlink(path);
    RecordingEventLog recording;
    EventLog::SetOutput(EventLogOutput::Journal, fd);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kReports; ++i)
                EventLog::Report(EventLogType::Information, static_cast<std::uint16_t>(t),
                                 static_cast<std::uint32_t>(i), {std::string(100, 'x')});
        });
    }
    for (auto& thread : threads)
        thread.join();
    EventLog::SetOutput(EventLogOutput::None);

    const auto records = recording.Records();
    ASSERT_EQ(records.size(), std::size_t{kThreads * kReports});
    std::vector<std::uint32_t> next(kThreads, 0);
    for (const auto& record : records)
        EXPECT_EQ(record.event_id, next[record.category]++) << "thread " << record.category;

    ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
    const auto lines = Lines(ReadAll(fd));
    close(fd);
    ASSERT_EQ(lines.size(), std::size_t{kThreads * kReports});
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], "<6>" + EventLog::FormatLine(records[i])) << "line " << i;
}

TEST(EventLog, StderrIsJournalOnlyWhenTheStreamMatches)
{
    const char* saved = std::getenv("JOURNAL_STREAM");
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    struct stat status;
    ASSERT_EQ(fstat(STDERR_FILENO, &status), 0);
    const std::string own = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    const std::string other =
        std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino + 1);
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {std::nullopt, false}, {own, true},        {other, false},
        {"", false},           {own + "x", false}, {"8:abc", false}};
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value.value_or("(unset)"));
        if (value)
            setenv("JOURNAL_STREAM", value->c_str(), 1);
        else
            unsetenv("JOURNAL_STREAM");
        EXPECT_EQ(EventLog::StderrIsJournal(), expected);
    }
    if (previous)
        setenv("JOURNAL_STREAM", previous->c_str(), 1);
    else
        unsetenv("JOURNAL_STREAM");
}

} // namespace
} // namespace velk
