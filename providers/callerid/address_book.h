// The address book that translates callers' numbers into names: an XML file whose root
// "Addresses" holds one "Address" element per entry, with the attributes "Number" (as the line
// reports it) and "Name". It lives beside the machine hive (AddressBookPath). A number is looked
// up by walking the entries and comparing in code: the number comes from outside and never
// becomes part of a query. Used by one thread at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace velk {

struct AddressEntry {
    std::string number;
    std::string name;
    bool operator==(const AddressEntry&) const = default;
};

class AddressBook {
public:
    // A larger file is not read; more entries are not kept.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
    static constexpr std::size_t kMaxEntries = 10000;
    static constexpr const char* kFileName = "addresses.xml";

    // The book's file: beside the machine hive.
    static std::string DefaultPath();

    // Reads the file: S_FALSE (an empty book) when there is none; E_INVALIDARG when it is not
    // an address book, E_OUTOFMEMORY beyond the size limit (the book stays empty then).
    HRESULT Load(const std::string& path);
    // Writes the book to its file in place of the old one, whole or not at all.
    HRESULT Save(const std::string& path) const;

    // The name for the number; none when no entry has exactly that number.
    std::optional<std::string> Lookup(std::string_view number) const;
    // Sets the number's name (a new entry at the end); false when the book is full. Line breaks
    // and other control characters in either become blanks.
    bool Set(std::string_view number, std::string_view name);
    // Gives the number's entry another number and name, in its place; another entry that had
    // the new number goes. False when there was no such number.
    bool Replace(std::string_view number, std::string_view new_number, std::string_view name);
    // False when there was no such number.
    bool Remove(std::string_view number);

    const std::vector<AddressEntry>& entries() const { return entries_; }

private:
    std::vector<AddressEntry> entries_;
};

} // namespace velk
