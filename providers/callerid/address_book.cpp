#include "providers/callerid/address_book.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/registry.h"
#include "platform/xml_document.h"
#include "platform/ascii.h"

namespace velk {

namespace {

constexpr std::string_view kEntries = "/Addresses/Address";

std::string XmlAttribute(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string AddressBook::DefaultPath()
{
    return (std::filesystem::path(Registry::HiveFilePath(Hive::LocalMachine)).parent_path() / kFileName)
        .string();
}

HRESULT AddressBook::Load(const std::string& path)
{
    entries_.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return S_FALSE;
    std::string text(kMaxFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxFileBytes)
        return E_OUTOFMEMORY;
    std::unique_ptr<XmlDocument> document;
    HRESULT hr = XmlDocument::Parse(text, document);
    if (FAILED(hr))
        return hr;
    if (!document->SelectSingleNode("/Addresses"))
        return E_INVALIDARG;
    for (const auto& node : document->SelectNodes(kEntries)) {
        auto number = node.Attribute("Number");
        auto name = node.Attribute("Name");
        if (!number || !name)
            continue;
        if (!Set(*number, *name))
            break;
    }
    return S_OK;
}

HRESULT AddressBook::Save(const std::string& path) const
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Addresses>\n";
    for (const auto& entry : entries_)
        text += "  <Address Number=\"" + XmlAttribute(entry.number) + "\" Name=\"" + XmlAttribute(entry.name) +
                "\"/>\n";
    text += "</Addresses>\n";

    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return E_ACCESSDENIED;
        file << text;
        file.flush();
        if (!file)
            return E_FAIL;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return E_FAIL;
    }
    return S_OK;
}

std::optional<std::string> AddressBook::Lookup(std::string_view number) const
{
    for (const auto& entry : entries_)
        if (entry.number == number)
            return entry.name;
    return std::nullopt;
}

bool AddressBook::Set(std::string_view number, std::string_view name)
{
    const std::string clean_number = BlankControls(number);
    for (auto& entry : entries_) {
        if (entry.number == clean_number) {
            entry.name = BlankControls(name);
            return true;
        }
    }
    if (entries_.size() >= kMaxEntries)
        return false;
    entries_.push_back({clean_number, BlankControls(name)});
    return true;
}

bool AddressBook::Replace(std::string_view number, std::string_view new_number, std::string_view name)
{
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const AddressEntry& e) { return e.number == number; });
    if (entry == entries_.end())
        return false;
    entry->number = BlankControls(new_number);
    entry->name = BlankControls(name);
    const std::string kept = entry->number;
    const auto at = entry - entries_.begin();
    for (std::size_t i = entries_.size(); i-- > 0;)
        if (static_cast<std::ptrdiff_t>(i) != at && entries_[i].number == kept)
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

bool AddressBook::Remove(std::string_view number)
{
    const auto before = entries_.size();
    std::erase_if(entries_, [&](const AddressEntry& entry) { return entry.number == number; });
    return entries_.size() != before;
}

} // namespace velk
