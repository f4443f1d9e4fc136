#include "platform/scripted_line.h"

#include <charconv>
#include <fstream>

namespace velk {

namespace {

constexpr std::string_view kWaitWord = "WAIT ";

} // namespace

ScriptedLine::ScriptedLine(std::string path, CallHandler on_call)
    : path_(std::move(path)), on_call_(std::move(on_call)), thread_([this] { Play(); })
{
}

ScriptedLine::~ScriptedLine()
{
    stop_.Set();
    thread_.join();
}

bool ScriptedLine::Wait(std::uint32_t timeout_ms)
{
    return !stop_.Wait(timeout_ms);
}

void ScriptedLine::Play()
{
    std::ifstream file(path_, std::ios::binary);
    std::string script(kMaxScriptBytes, '\0');
    file.read(script.data(), static_cast<std::streamsize>(script.size()));
    script.resize(static_cast<std::size_t>(file.gcount()));

    CallerIdParser parser;
    std::string_view rest = script;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.starts_with(kWaitWord)) {
            std::uint32_t wait_ms = 0;
            const std::string_view digits = line.substr(kWaitWord.size());
            std::from_chars(digits.data(), digits.data() + digits.size(), wait_ms);
            if (!Wait(wait_ms))
                return;
            continue;
        }
        for (const auto& call : parser.Feed(std::string(line) + "\r\n", TelephonyNowMs()))
            on_call_(call);
    }
    // Caller-ID lines that no ring followed.
    if (const auto due = parser.FlushDueInMs(TelephonyNowMs())) {
        if (!Wait(static_cast<std::uint32_t>(*due)))
            return;
        if (auto call = parser.Flush(TelephonyNowMs()))
            on_call_(*call);
    }
}

} // namespace velk
