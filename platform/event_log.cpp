#include "platform/event_log.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <ostream>

namespace velk {

namespace {

// openlog keeps the pointer: the ident must live as long as the process.
constexpr char kSyslogIdent[] = "Velk";

struct Sinks {
    std::mutex mutex;
    EventLogOutput output = EventLogOutput::Automatic;
    int journal_fd = STDERR_FILENO;
    bool syslog_open = false;
    std::ostream* console = nullptr;
    std::vector<RecordingEventLog*> recorders;
};

// Never destroyed, so that a report made while the process exits still finds its sinks.
Sinks& TheSinks()
{
    static Sinks* sinks = new Sinks;
    return *sinks;
}

std::string_view TypeWord(EventLogType type)
{
    switch (type) {
    case EventLogType::Success:
        return "success";
    case EventLogType::Error:
        return "error";
    case EventLogType::Warning:
        return "warning";
    case EventLogType::Information:
        return "information";
    }
    return "unknown";
}

int Priority(EventLogType type)
{
    switch (type) {
    case EventLogType::Error:
        return LOG_ERR;
    case EventLogType::Warning:
        return LOG_WARNING;
    default:
        return LOG_INFO;
    }
}

// Appends text with every character that could end or rewrite a line replaced by a space:
// C0 controls and DEL, the C1 controls (NEL among them) and the Unicode line and paragraph
// separators in UTF-8.
void AppendClean(std::string& line, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (c < 0x20 || c == 0x7F) {
            line += ' ';
        } else if (c == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
            line += ' ';
            i += 1;
        } else if (c == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
            line += ' ';
            i += 2;
        } else {
            line += static_cast<char>(c);
        }
    }
}

// The line without the source: "error category=2 id=0xc0020101: Null; 80004005".
std::string FormatBody(const EventLogRecord& record)
{
    char head[64];
    std::snprintf(head, sizeof head, " category=%u id=0x%x", unsigned{record.category},
                  unsigned{record.event_id});
    std::string line(TypeWord(record.type));
    line += head;
    for (std::size_t i = 0; i < record.strings.size(); ++i) {
        line += i == 0 ? ": " : "; ";
        AppendClean(line, record.strings[i]);
    }
    return line;
}

// One write per line, so that lines of several processes on one stream stay whole. A journal
// socket that went away must not raise SIGPIPE.
void WriteLine(int fd, std::string_view line)
{
    bool socket = true;
    while (!line.empty()) {
        ssize_t written = socket ? send(fd, line.data(), line.size(), MSG_NOSIGNAL) : -1;
        if (written < 0 && socket && errno == ENOTSOCK) {
            socket = false;
            continue;
        }
        if (!socket)
            written = write(fd, line.data(), line.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // nowhere left to tell
        line.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

HRESULT EventLog::Report(EventLogType type, std::uint16_t category, std::uint32_t event_id,
                         const std::vector<std::string>& strings)
{
    try {
        const EventLogRecord record{type, category, event_id, strings};
        const std::string body = FormatBody(record);
        Sinks& sinks = TheSinks();
        std::lock_guard lock(sinks.mutex);
        for (RecordingEventLog* recorder : sinks.recorders)
            recorder->records_.push_back(record);

        if (sinks.output == EventLogOutput::Automatic)
            sinks.output = StderrIsJournal() ? EventLogOutput::Journal : EventLogOutput::Syslog;
        if (sinks.output == EventLogOutput::Journal) {
            WriteLine(sinks.journal_fd, "<" + std::to_string(Priority(type)) + ">" +
                                            std::string(kSource) + ": " + body + "\n");
        } else if (sinks.output == EventLogOutput::Syslog) {
            if (!sinks.syslog_open) {
                openlog(kSyslogIdent, LOG_PID, LOG_DAEMON);
                sinks.syslog_open = true;
            }
            syslog(Priority(type), "%s", body.c_str());
        }
        if (sinks.console)
            *sinks.console << kSource << ": " << body << '\n' << std::flush;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT EventLog::ReportText(EventLogType type, std::string_view text)
{
    try {
        return Report(type, 0, 0, {std::string(text)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void EventLog::SetOutput(EventLogOutput output, int journal_fd)
{
    Sinks& sinks = TheSinks();
    std::lock_guard lock(sinks.mutex);
    sinks.output = output;
    sinks.journal_fd = journal_fd;
}

void EventLog::SetConsole(std::ostream* console)
{
    Sinks& sinks = TheSinks();
    std::lock_guard lock(sinks.mutex);
    sinks.console = console;
}

std::string EventLog::FormatLine(const EventLogRecord& record)
{
    return std::string(kSource) + ": " + FormatBody(record);
}

bool EventLog::StderrIsJournal()
{
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream)
        return false;
    const std::string_view text(stream);
    const auto colon = text.find(':');
    std::uintmax_t device = 0, inode = 0;
    if (colon == std::string_view::npos ||
        std::from_chars(text.data(), text.data() + colon, device).ptr != text.data() + colon ||
        std::from_chars(text.data() + colon + 1, text.data() + text.size(), inode).ptr !=
            text.data() + text.size())
        return false;
    struct stat status;
    return fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

RecordingEventLog::RecordingEventLog()
{
    Sinks& sinks = TheSinks();
    std::lock_guard lock(sinks.mutex);
    sinks.recorders.push_back(this);
}

RecordingEventLog::~RecordingEventLog()
{
    Sinks& sinks = TheSinks();
    std::lock_guard lock(sinks.mutex);
    std::erase(sinks.recorders, this);
}

std::vector<EventLogRecord> RecordingEventLog::Records() const
{
    Sinks& sinks = TheSinks();
    std::lock_guard lock(sinks.mutex);
    return records_;
}

} // namespace velk
