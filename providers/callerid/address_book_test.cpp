#include "providers/callerid/address_book.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/registry_test_fixture.h"

namespace velk {
namespace {

// The book beside the test's own machine hive, where the provider looks for it.
class AddressBookTest : public RegistryFixture {
protected:
    void Write(std::string_view text) { std::ofstream(path(), std::ios::binary) << text; }

    // Only once SetUp has given the test its folder.
    std::string path() const { return AddressBook::DefaultPath(); }
};

TEST_F(AddressBookTest, ANumberFindsItsEntryAndNothingElse)
{
    Write(R"(<?xml version="1.0"?>
<Addresses>
  <Address Number="5551234" Name="Mum"/>
  <Address Number="0441234" Name="Office &amp; Co"/>
  <Address Name="no number"/>
</Addresses>)");
    AddressBook book;
    ASSERT_EQ(book.Load(path()), S_OK);
    struct Case {
        const char* number;
        std::optional<std::string> name;
    };
    // Numbers are text from the line: those shaped like a query find nothing.
    const Case cases[] = {{"5551234", "Mum"},
                          {"0441234", "Office & Co"},
                          {"555123", std::nullopt},
                          {"'] | //*[", std::nullopt},
                          {"\"] | //Address[@Name=\"Mum", std::nullopt},
                          {"5551234\" or \"1\"=\"1", std::nullopt},
                          {"", std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(book.Lookup(c.number), c.name);
    }
}

TEST_F(AddressBookTest, EditsAreWrittenBackAndReadAgain)
{
    AddressBook book;
    EXPECT_EQ(book.Load(path()), S_FALSE);
    ASSERT_TRUE(book.Set("5551234", "Mum"));
    ASSERT_TRUE(book.Set("'] | //*[", "Quote \"&<me>\""));
    ASSERT_TRUE(book.Set("0441234", "Office\r\nline"));
    ASSERT_TRUE(book.Set("5551234", "Mother"));
    ASSERT_TRUE(book.Set("0207946", "Dentist"));
    // A number changed in its place; the entry that had the new number goes.
    ASSERT_TRUE(book.Replace("'] | //*[", "0207946", "Quote \"&<me>\""));
    EXPECT_FALSE(book.Replace("none", "1", "x"));
    EXPECT_TRUE(book.Remove("0441234"));
    EXPECT_FALSE(book.Remove("0441234"));
    ASSERT_EQ(book.Save(path()), S_OK);

    AddressBook again;
    ASSERT_EQ(again.Load(path()), S_OK);
    EXPECT_EQ(again.entries(), (std::vector<AddressEntry>{{"5551234", "Mother"}, {"0207946", "Quote \"&<me>\""}}));
    ASSERT_TRUE(again.Set("1", "Office\r\nline"));
    EXPECT_EQ(again.Lookup("1"), "Office  line");
}

TEST_F(AddressBookTest, AFileThatIsNoAddressBookGivesAnEmptyBook)
{
    struct Case {
        const char* name;
        std::string text;
        HRESULT expected;
    };
    const Case cases[] = {
        {"not XML", "Number=1 Name=x", E_INVALIDARG},
        {"another root", "<Contacts><Address Number=\"1\" Name=\"x\"/></Contacts>", E_INVALIDARG},
        {"entities", "<!DOCTYPE a [<!ENTITY e \"x\">]><Addresses><Address Number=\"1\" Name=\"&e;\"/></Addresses>",
         E_INVALIDARG},
        {"too large", "<Addresses>" + std::string(AddressBook::kMaxFileBytes, ' ') + "</Addresses>", E_OUTOFMEMORY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.text);
        AddressBook book;
        EXPECT_EQ(book.Load(path()), c.expected);
        EXPECT_TRUE(book.entries().empty());
    }
}

} // namespace
} // namespace velk
