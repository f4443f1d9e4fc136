#include "providers/rss/feed_validation.h"

#include <cstdlib>
#include <memory>

#include "platform/ascii.h"
#include "platform/encoding.h"
#include "platform/xml_document.h"
#include "providers/rss/feed_record.h"
#include "providers/rss/feed_text.h"

namespace velk {

namespace {

constexpr long kHttpOk = 200;

FeedValidation Failed(std::string message)
{
    FeedValidation result;
    result.message = std::move(message);
    return result;
}

std::string ProposedTitle(std::string_view text)
{
    return std::string(Utf8Prefix(DisplayLine(text), kMaxProposedTitle));
}

// A version attribute as a number; 0 when missing or not a number.
double VersionOf(const std::optional<std::string>& attribute)
{
    return attribute ? std::strtod(attribute->c_str(), nullptr) : 0.0;
}

// Types whose documents are XML: the two generic ones and every "+xml" type but XHTML, which is
// a web page to look for feed links in.
bool IsXmlType(std::string_view type)
{
    if (type == "text/xml" || type == "application/xml")
        return true;
    return type != "application/xhtml+xml" && type.size() > 4 && type.ends_with("+xml");
}

bool IsHtmlType(std::string_view type)
{
    return type == "text/html" || type == "application/xhtml+xml";
}

FeedValidation ValidateXml(const std::string& body)
{
    std::unique_ptr<XmlDocument> document;
    if (FAILED(XmlDocument::Parse(body, document)))
        return Failed("The document is not well-formed XML.");
    document->SetSelectionNamespaces({{"atom", kAtomNamespace}});

    FeedValidation result;
    if (auto feed = document->SelectSingleNode("/atom:feed")) {
        if (VersionOf(feed->Attribute("version")) < 0.3)
            result.warning = kOldAtom;
        if (auto title = document->SelectSingleNode("/atom:feed/atom:title"))
            result.title = ProposedTitle(title->Text());
    } else if (auto rss = document->SelectSingleNode("/rss")) {
        if (VersionOf(rss->Attribute("version")) < 2.0)
            result.warning = kOldRss;
        if (auto title = document->SelectSingleNode("/rss/channel/title"))
            result.title = ProposedTitle(title->Text());
    } else {
        return Failed(kNotAFeed);
    }
    result.outcome = FeedValidation::Outcome::Feed;
    return result;
}

// The attributes of one tag's text (after its name), names in lower case, values with the
// common character references decoded.
std::map<std::string, std::string> TagAttributes(std::string_view tag)
{
    auto decode = [](std::string_view value) {
        static constexpr std::pair<std::string_view, char> kReferences[] = {
            {"&amp;", '&'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&apos;", '\''}, {"&lt;", '<'},
            {"&gt;", '>'}};
        std::string out;
        for (std::size_t i = 0; i < value.size();) {
            bool replaced = false;
            for (const auto& [reference, character] : kReferences) {
                if (value.substr(i, reference.size()) == reference) {
                    out += character;
                    i += reference.size();
                    replaced = true;
                    break;
                }
            }
            if (!replaced)
                out += value[i++];
        }
        return out;
    };
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; };

    std::map<std::string, std::string> attributes;
    std::size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && (blank(tag[i]) || tag[i] == '/'))
            ++i;
        const std::size_t name_start = i;
        while (i < tag.size() && !blank(tag[i]) && tag[i] != '=' && tag[i] != '/')
            ++i;
        if (i == name_start)
            break;
        std::string name = FoldCase(tag.substr(name_start, i - name_start));
        while (i < tag.size() && blank(tag[i]))
            ++i;
        std::string value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && blank(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                const std::size_t end = tag.find(quote, i);
                const std::size_t stop = end == std::string_view::npos ? tag.size() : end;
                value = decode(tag.substr(i, stop - i));
                i = stop + 1;
            } else {
                const std::size_t start = i;
                while (i < tag.size() && !blank(tag[i]))
                    ++i;
                value = decode(tag.substr(start, i - start));
            }
        }
        attributes.emplace(std::move(name), std::move(value));
    }
    return attributes;
}

bool HasToken(std::string_view list, std::string_view token)
{
    std::size_t i = 0;
    while (i < list.size()) {
        const std::size_t end = std::min(list.find_first_of(" \t\r\n", i), list.size());
        if (EqualsIgnoringCase(list.substr(i, end - i), token))
            return true;
        i = end + 1;
    }
    return false;
}

std::vector<FeedLink> FeedLinksOf(std::string_view url, std::string_view page)
{
    const std::string folded = FoldCase(page);
    std::vector<FeedLink> links;
    std::size_t at = 0;
    while (links.size() < kMaxFeedLinks && (at = folded.find("<link", at)) != std::string::npos) {
        at += 5;
        if (at >= folded.size())
            break;
        const char next = folded[at];
        if (next != ' ' && next != '\t' && next != '\r' && next != '\n' && next != '/')
            continue;
        const std::size_t end = folded.find('>', at);
        if (end == std::string::npos)
            break;
        const auto attributes = TagAttributes(page.substr(at, end - at));
        at = end + 1;
        auto value = [&](const char* name) {
            auto found = attributes.find(name);
            return found == attributes.end() ? std::string() : found->second;
        };
        const std::string type = MediaTypeOf(value("type"));
        if (!HasToken(value("rel"), "alternate") ||
            (type != "application/rss+xml" && type != "application/atom+xml"))
            continue;
        std::string href = ResolveLink(url, value("href"));
        if (href.empty())
            continue;
        std::string title = ProposedTitle(value("title"));
        links.push_back({title.empty() ? href : std::move(title), std::move(href)});
    }
    return links;
}

} // namespace

std::string MediaTypeOf(std::string_view content_type)
{
    std::string_view type = content_type.substr(0, content_type.find(';'));
    while (!type.empty() && (type.front() == ' ' || type.front() == '\t'))
        type.remove_prefix(1);
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.remove_suffix(1);
    return type.empty() ? std::string("text/html") : FoldCase(type);
}

std::string ResolveLink(std::string_view base, std::string_view href)
{
    while (!href.empty() && (href.front() == ' ' || href.front() == '\t'))
        href.remove_prefix(1);
    while (!href.empty() && (href.back() == ' ' || href.back() == '\t'))
        href.remove_suffix(1);
    if (href.empty())
        return {};
    const std::string folded = FoldCase(href.substr(0, 8));
    if (folded.starts_with("http://") || folded.starts_with("https://"))
        return std::string(href);
    // Other schemes (javascript:, file:, data:) are no feeds to fetch.
    const std::size_t colon = href.find(':');
    if (colon != std::string_view::npos && href.find_first_of("/?#") > colon)
        return {};

    const std::size_t scheme_end = base.find("://");
    if (scheme_end == std::string_view::npos)
        return {};
    if (href.starts_with("//"))
        return std::string(base.substr(0, scheme_end + 1)) + std::string(href);
    const std::size_t authority_end = std::min(base.find_first_of("/?#", scheme_end + 3), base.size());
    const std::string_view origin = base.substr(0, authority_end);
    if (href.front() == '/')
        return std::string(origin) + std::string(href);
    std::string_view path = base.substr(authority_end);
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t slash = path.rfind('/');
    const std::string_view folder = slash == std::string_view::npos ? "/" : path.substr(0, slash + 1);
    return std::string(origin) + std::string(folder) + std::string(href);
}

FeedValidation ValidateFeedAnswer(std::string_view url, const HttpResponse& response)
{
    if (response.status != kHttpOk)
        return Failed("The server answered with HTTP status " + std::to_string(response.status) + ".");
    const std::string type = MediaTypeOf(response.content_type);
    if (IsXmlType(type))
        return ValidateXml(response.body);
    if (IsHtmlType(type)) {
        FeedValidation result;
        result.links = FeedLinksOf(url, response.body);
        if (result.links.empty())
            return Failed("No RSS Feeds were referenced in " + std::string(url));
        result.outcome = FeedValidation::Outcome::Links;
        return result;
    }
    return Failed("The content type " + ToValidUtf8(type) + " is unsupported");
}

} // namespace velk
