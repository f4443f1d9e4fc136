// The system's event log: records with a type, a category, an event id and insertion strings,
// written as one line each to the journal (stderr with "<N>" level prefixes when systemd runs
// us) or to syslog, echoed on a console stream in plain-server mode, and captured in memory by
// RecordingEventLog in tests. Process-wide; any thread may report.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace velk {

// The event types the log itself defines, with its values.
enum class EventLogType : std::uint16_t { Success = 0, Error = 1, Warning = 2, Information = 3 };

struct EventLogRecord {
    EventLogType type = EventLogType::Information;
    std::uint16_t category = 0;
    std::uint32_t event_id = 0;
    std::vector<std::string> strings;

    bool operator==(const EventLogRecord&) const = default;
};

// Where records go besides the console and the recorders.
enum class EventLogOutput {
    Automatic, // the journal when stderr is systemd's journal stream, otherwise syslog
    Syslog,
    Journal,
    None,
};

class EventLog {
public:
    static constexpr std::string_view kSource = "Velk";

    // Reports one record. S_OK, or E_OUTOFMEMORY when the line could not be built.
    static HRESULT Report(EventLogType type, std::uint16_t category, std::uint32_t event_id,
                          const std::vector<std::string>& strings);
    // A plain message line ("Service started"): category 0, id 0, the text as its one string.
    static HRESULT ReportText(EventLogType type, std::string_view text);

    // journal_fd is where journal lines go (stderr unless a test gives another descriptor).
    static void SetOutput(EventLogOutput output, int journal_fd = 2);
    // Echoes every line on console (plain-server mode: std::cout); nullptr stops the echo. The
    // stream must outlive its use here.
    static void SetConsole(std::ostream* console);

    // "Velk: error category=2 id=0xc0020101: Null; 80004005": the strings joined with "; ",
    // every control character and line separator in them replaced by a space, so that no
    // insertion string can start a line of its own.
    static std::string FormatLine(const EventLogRecord& record);
    // True when systemd connected stderr to the journal (JOURNAL_STREAM names its device and
    // inode), as opposed to a child that merely inherited the variable.
    static bool StderrIsJournal();
};

// Captures every record reported while it exists, for tests of the code that reports.
class RecordingEventLog {
public:
    RecordingEventLog();
    ~RecordingEventLog();
    RecordingEventLog(const RecordingEventLog&) = delete;
    RecordingEventLog& operator=(const RecordingEventLog&) = delete;

    std::vector<EventLogRecord> Records() const;

private:
    friend class EventLog;
    std::vector<EventLogRecord> records_; // guarded by the event log's lock
};

} // namespace velk
