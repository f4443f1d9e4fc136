#include "platform/xml_document.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(XmlDocument, SelectsByXPathUnderDeclaredPrefixes)
{
    std::unique_ptr<XmlDocument> document;
    ASSERT_EQ(XmlDocument::Parse(R"(<Event xmlns="urn:schemas-upnp-org:metadata-1-0/AVT/">
  <InstanceID val="0"><TransportState val="PLAYING"/><CurrentTrackURI val="a&amp;b"/></InstanceID>
</Event>)",
                                 document),
              S_OK);
    document->SetSelectionNamespaces({{"a", "urn:schemas-upnp-org:metadata-1-0/AVT/"}});
    auto state = document->SelectSingleNode("//a:Event/a:InstanceID[@val=\"0\"]/a:TransportState");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->Attribute("val"), "PLAYING");
    EXPECT_EQ(state->Attribute("missing"), std::nullopt);
    auto uri = document->SelectSingleNode("//a:InstanceID/a:CurrentTrackURI");
    ASSERT_TRUE(uri);
    EXPECT_EQ(uri->Attribute("val"), "a&b");
    EXPECT_FALSE(document->SelectSingleNode("//a:Event/a:InstanceID[@val=\"1\"]"));
    EXPECT_FALSE(document->SelectSingleNode("//Event")); // no prefix: not the namespace
    EXPECT_FALSE(document->SelectSingleNode("//a:[")); // not an expression
    auto instance = document->SelectSingleNode("//a:InstanceID");
    ASSERT_TRUE(instance);
    EXPECT_TRUE(instance->SelectSingleNode("a:TransportState"));
}

TEST(XmlDocument, RefusesWhatIsNotPlainXml)
{
    const char* cases[] = {
        "",
        "<unclosed>",
        "not xml at all",
        // Entity tricks from the network: an internal entity bomb and an external file.
        "<!DOCTYPE x [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><x>&b;</x>",
        "<!DOCTYPE x [<!ENTITY f SYSTEM \"file:///etc/passwd\">]><x>&f;</x>",
        "<!DOCTYPE x [<!ATTLIST x a CDATA \"injected\">]><x/>",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        std::unique_ptr<XmlDocument> document;
        EXPECT_EQ(XmlDocument::Parse(text, document), E_INVALIDARG);
        EXPECT_EQ(document, nullptr);
    }
}

TEST(XmlDocument, TakesADocumentTypeThatDeclaresNothing)
{
    // As old feeds begin: a name for a DTD that is never loaded.
    std::unique_ptr<XmlDocument> document;
    ASSERT_EQ(XmlDocument::Parse("<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
                                 "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">"
                                 "<rss version=\"0.91\"><channel><item><title>A</title></item>"
                                 "<item><title>B</title></item></channel></rss>",
                                 document),
              S_OK);
    const auto items = document->SelectNodes("//rss/channel/item");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].Text(), "B");
    EXPECT_TRUE(document->SelectNodes("//nothing").empty());
    EXPECT_TRUE(document->SelectNodes("//[").empty());
}

TEST(XmlDocument, TextJoinsDescendants)
{
    std::unique_ptr<XmlDocument> document;
    ASSERT_EQ(XmlDocument::Parse("<r><item id=\"7\"><res>http://x/1.mp3</res><b>A <i>B</i></b></item></r>",
                                 document),
              S_OK);
    auto item = document->SelectSingleNode("//item");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Attribute("id"), "7");
    EXPECT_EQ(item->SelectSingleNode("res")->Text(), "http://x/1.mp3");
    EXPECT_EQ(item->SelectSingleNode("b")->Text(), "A B");
}

} // namespace
} // namespace velk
