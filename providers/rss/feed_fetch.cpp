#include "providers/rss/feed_fetch.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "platform/file_time.h"
#include "platform/http_get.h"
#include "platform/reg_key.h"
#include "providers/rss/feed_schedule.h"
#include "providers/rss/feed_translator.h"
#include "providers/rss/feed_table.h"

namespace velk {

namespace {

constexpr long kHttpOk = 200;

FetchOutcome Failure(const std::string& url, const std::string& reason, HRESULT code)
{
    char number[24];
    std::snprintf(number, sizeof number, "%ld", static_cast<long>(static_cast<std::int32_t>(code)));
    std::string message =
        "Failed to load feed " + url + ". The error returned was " + reason + " (" + number + ")";
    return {std::nullopt, std::move(message), code};
}

void NoteDownload(const FeedRecord& record)
{
    RegKey key;
    if (FAILED(key.Open(Hive::LocalMachine,
                        std::string(FeedTable::kFeedsKey) + "\\" + record.key_name(),
                        RegAccess::All)))
        return;
    key.SetDWORDValue(FeedTable::kFlagsValue, FeedTable::kFlagsStored);
    key.SetBinaryValue(FeedTable::kLastDownloadedValue,
                       FileTimeBytes(std::chrono::system_clock::now()));
}

// A copy that does not tell its age cannot be older than the one held.
bool IsNewer(const FeedCopy& fetched, const FeedCopy& held)
{
    return !held.document || !held.date || !fetched.date || *fetched.date > *held.date;
}

} // namespace

std::map<std::string, std::string> ParseNamespaceDeclarations(std::string_view declarations)
{
    std::map<std::string, std::string> namespaces;
    constexpr std::string_view kPrefix = "xmlns:";
    std::size_t at = 0;
    while ((at = declarations.find(kPrefix, at)) != std::string_view::npos) {
        at += kPrefix.size();
        const std::size_t equals = declarations.find('=', at);
        if (equals == std::string_view::npos || equals + 1 >= declarations.size())
            break;
        const char quote = declarations[equals + 1];
        const std::size_t end = declarations.find(quote, equals + 2);
        if ((quote != '\'' && quote != '"') || end == std::string_view::npos)
            continue;
        const std::string prefix(declarations.substr(at, equals - at));
        if (!prefix.empty() && prefix.find_first_of(" \t\r\n") == std::string::npos)
            namespaces[prefix] = std::string(declarations.substr(equals + 2, end - equals - 2));
        at = end + 1;
    }
    return namespaces;
}

FetchOutcome FetchFeed(FeedRecord& record, const Event* cancel)
{
    IRSSRenderer& renderer = *record.renderer();
    HttpRequest request;
    request.cancel = cancel;
    renderer.get_URL(request.url);
    std::string username;
    std::string password;
    if (SUCCEEDED(renderer.get_Username(username)) && SUCCEEDED(renderer.get_Password(password)) &&
        (!username.empty() || !password.empty())) {
        request.username = username;
        request.password = password;
    }

    HttpResponse response;
    std::string error;
    HRESULT hr = HttpGet(request, response, error);
    if (hr == E_ABORT)
        return {};
    if (FAILED(hr))
        return Failure(request.url, error, hr);
    if (response.status != kHttpOk)
        return Failure(request.url, "HTTP status " + std::to_string(response.status), E_FAIL);
    // A source of its own format is read through its renderer.
    if (auto* translator = dynamic_cast<IFeedTranslator*>(&renderer)) {
        std::string rss;
        std::string reason;
        hr = translator->Translate(response, rss, reason);
        if (FAILED(hr))
            return Failure(request.url, reason, hr);
        response.body = std::move(rss);
    }
    std::unique_ptr<XmlDocument> parsed;
    hr = XmlDocument::Parse(response.body, parsed);
    if (FAILED(hr))
        return Failure(request.url, "a document that is not well-formed XML", hr);

    std::map<std::string, std::string> namespaces;
    std::string declarations;
    if (SUCCEEDED(renderer.get_Namespaces(declarations)))
        namespaces = ParseNamespaceDeclarations(declarations);
    namespaces["atom"] = kAtomNamespace;
    parsed->SetSelectionNamespaces(std::move(namespaces));

    FeedCopy fetched;
    fetched.atom = parsed->SelectSingleNode("//atom:feed").has_value();
    const FeedSchedule schedule = ScheduleOf(*parsed);
    fetched.date = schedule.date;
    fetched.document = std::move(parsed);
    if (IsNewer(fetched, record.Current())) {
        record.Replace(std::move(fetched));
        NoteDownload(record);
    }
    return {schedule.interval_ms, std::nullopt, S_OK};
}

} // namespace velk
