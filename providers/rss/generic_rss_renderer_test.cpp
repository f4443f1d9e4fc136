// The generic renderer as the news-feed provider uses it: created by class id from its
// registered module, its state saved and loaded through streams (credentials protected for
// this machine), and feed items drawn on a real player of velk-sim.
#include "providers/rss/generic_rss_renderer.h"

#include <gtest/gtest.h>

#include "platform/apartment.h"
#include "platform/class_registry.h"
#include "platform/encoding.h"
#include "platform/memory_stream.h"
#include "platform/reg_key.h"
#include "platform/registry_test_fixture.h"
#include "platform/stream_fields.h"
#include "platform/testdata/run_apartment_until.h"
#include "platform/xml_dom_node.h"
#include "providers/rss/generic_renderer_state.h"
#include "service/velk_device.h"
#include "tools/sim/sim_test_support.h"

namespace velk {
namespace {

using sim::testing::SimProcess;

constexpr std::uint32_t kSafetyMs = 10000;
constexpr const char* kAtomNamespace = "http://purl.org/atom/ns#";

class GenericRendererTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        ASSERT_EQ(ClassRegistry::RegisterModule(VELK_RSS_MODULE), S_OK);
        UnknownPtr object;
        ASSERT_EQ(ClassRegistry::CreateInstance(CLSID_GenericRSSRenderer, object), S_OK);
        renderer_ = std::dynamic_pointer_cast<IRSSRenderer>(object);
        settings_ = std::dynamic_pointer_cast<IGenericRendererSettings>(object);
        ASSERT_TRUE(renderer_ && settings_);
    }

    // A new renderer loaded from the bytes.
    std::shared_ptr<IRSSRenderer> Loaded(const std::vector<std::uint8_t>& bytes, HRESULT expected)
    {
        UnknownPtr object;
        EXPECT_EQ(ClassRegistry::CreateInstance(CLSID_GenericRSSRenderer, object), S_OK);
        auto loaded = std::dynamic_pointer_cast<IRSSRenderer>(object);
        MemoryStream stream(bytes);
        EXPECT_EQ(loaded->Load(stream), expected);
        return loaded;
    }

    std::vector<std::uint8_t> Saved()
    {
        MemoryStream stream;
        EXPECT_EQ(renderer_->Save(stream), S_OK);
        return stream.bytes();
    }

    static std::string Url(IRSSRenderer& renderer)
    {
        std::string url;
        renderer.get_URL(url);
        return url;
    }
    static std::pair<std::string, std::string> Credentials(IRSSRenderer& renderer)
    {
        std::string username;
        std::string password;
        renderer.get_Username(username);
        renderer.get_Password(password);
        return {username, password};
    }

    std::shared_ptr<IRSSRenderer> renderer_;
    std::shared_ptr<IGenericRendererSettings> settings_;
};

TEST_F(GenericRendererTest, IsRegisteredAsAFeedRendererInItsCategory)
{
    std::vector<Guid> renderers;
    ASSERT_EQ(ClassRegistry::ClassesOfCategory(CATID_VelkRSSParsers, renderers), S_OK);
    EXPECT_EQ(renderers, std::vector<Guid>{CLSID_GenericRSSRenderer});
    std::string name;
    ASSERT_EQ(ClassRegistry::UserTypeName(CLSID_GenericRSSRenderer, name), S_OK);
    EXPECT_EQ(name, "Generic RSS Renderer");
    RegKey category;
    ASSERT_EQ(category.Open(Hive::ClassesRoot,
                            "Component Categories\\" + CATID_VelkRSSParsers.ToString()),
              S_OK);
    std::string description;
    ASSERT_EQ(category.QueryStringValue("409", description), S_OK);
    EXPECT_EQ(description, "Velk RSS Parsers");

    bool configurable = false;
    EXPECT_EQ(renderer_->get_IsConfigurable(configurable), S_OK);
    EXPECT_TRUE(configurable);
    std::string namespaces;
    EXPECT_EQ(renderer_->get_Namespaces(namespaces), E_NOTIMPL);
}

TEST_F(GenericRendererTest, StateRoundTripsWithCredentialsProtectedForTheMachine)
{
    struct Case {
        const char* name;
        const char* url;
        const char* username;
        const char* password;
    };
    const Case kCases[] = {
        {"no credentials", "http://news.example/rss", "", ""},
        {"user name without password", "https://news.example/rss", "reader", ""},
        {"password without user name", "https://news.example/rss", "", "s3cret"},
        {"both, with a tab in the password", "https://news.example/a?b=c", "r\u00e9ader",
         "pass\tword"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        renderer_->put_URL(c.url);
        settings_->SetCredentials(c.username, c.password);
        const auto bytes = Saved();

        // The URL as its count with the zero, then its bytes and the zero.
        MemoryStream stream(bytes);
        std::string url_field;
        ASSERT_EQ(ReadCountedBytes(stream, url_field), S_OK);
        EXPECT_EQ(url_field, std::string(c.url) + '\0');
        std::string blob;
        ASSERT_EQ(ReadCountedBytes(stream, blob), S_OK);
        EXPECT_EQ(blob.empty(), *c.username == '\0' && *c.password == '\0');
        if (*c.password) {
            EXPECT_EQ(blob.find(c.password), std::string::npos) << "the password is in the clear";
        }

        auto loaded = Loaded(bytes, S_OK);
        EXPECT_EQ(Url(*loaded), c.url);
        EXPECT_EQ(Credentials(*loaded), std::make_pair(std::string(c.username),
                                                       std::string(c.password)));
    }
}

TEST_F(GenericRendererTest, CredentialsOnlyOpenOnTheirMachineAndForTheirUrl)
{
    renderer_->put_URL("https://news.example/rss");
    settings_->SetCredentials("reader", "s3cret");
    const auto bytes = Saved();

    // Sealed with another machine's key.
    const auto other_machine = std::filesystem::path(::testing::TempDir()) / "other-machine";
    std::filesystem::create_directories(other_machine);
    MemoryStream foreign;
    ASSERT_EQ(WriteGenericRendererState(foreign, {"https://news.example/rss", "reader", "s3cret"},
                                        DataProtection(other_machine)),
              S_OK);
    auto loaded = Loaded(foreign.bytes(), S_OK);
    EXPECT_EQ(Url(*loaded), "https://news.example/rss");
    EXPECT_EQ(Credentials(*loaded), std::make_pair(std::string(), std::string()));

    // The blob is bound to its URL: moved under another one, it does not open.
    MemoryStream original(bytes);
    std::string url_field;
    std::string blob;
    ASSERT_EQ(ReadCountedBytes(original, url_field), S_OK);
    ASSERT_EQ(ReadCountedBytes(original, blob), S_OK);
    MemoryStream moved;
    ASSERT_EQ(WriteCountedBytes(moved, std::string("https://elsewhere.example/\0", 27)), S_OK);
    ASSERT_EQ(WriteCountedBytes(moved, blob), S_OK);
    loaded = Loaded(moved.bytes(), S_OK);
    EXPECT_EQ(Credentials(*loaded), std::make_pair(std::string(), std::string()));
}

TEST_F(GenericRendererTest, ShortOrDamagedStreamsKeepWhatWasReadAndSayWhatFailed)
{
    renderer_->put_URL("https://news.example/rss");
    settings_->SetCredentials("reader", "s3cret");
    const auto bytes = Saved();
    const std::size_t url_field_end = 4 + std::string("https://news.example/rss").size() + 1;

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        HRESULT expected;
        const char* url; // what the loaded renderer holds
        bool credentials;
    };
    const std::vector<std::uint8_t> url_only(bytes.begin(), bytes.begin() + url_field_end);
    std::vector<std::uint8_t> negative = url_only;
    negative.insert(negative.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    const Case kCases[] = {
        {"whole", bytes, S_OK, "https://news.example/rss", true},
        {"ends after the URL", url_only, S_OK, "https://news.example/rss", false},
        {"credentials cut short", {bytes.begin(), bytes.end() - 1}, E_INVALIDARG,
         "https://news.example/rss", false},
        {"negative credential count", negative, E_INVALIDARG, "https://news.example/rss", false},
        {"URL cut short", {bytes.begin(), bytes.begin() + 10}, E_INVALIDARG, "", false},
        {"negative URL count", {0xFF, 0xFF, 0xFF, 0xFF}, E_INVALIDARG, "", false},
        {"empty", {}, E_INVALIDARG, "", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto loaded = Loaded(c.bytes, c.expected);
        EXPECT_EQ(Url(*loaded), c.url);
        EXPECT_EQ(Credentials(*loaded).first, c.credentials ? "reader" : "");
    }
}

// Drawing items on a real player: what the player receives on its shell.
class GenericRendererDrawingTest : public GenericRendererTest {
protected:
    void SetUp() override
    {
        GenericRendererTest::SetUp();
        ASSERT_TRUE(sim_.ready());
        apartment_ = Apartment::Create();
        ASSERT_TRUE(apartment_);
        player_ = std::make_shared<CVelkDevice>();
        ASSERT_EQ(player_->Connect(sim_.address(), "uuid:player-0", "Player", 0), S_OK);
    }

    void TearDown() override
    {
        player_.reset();
        if (apartment_)
            apartment_->Close();
        GenericRendererTest::TearDown();
    }

    // The first item of the feed text, as the provider hands it over.
    static std::shared_ptr<IXMLDOMNode> FirstItem(const std::string& feed)
    {
        std::unique_ptr<XmlDocument> parsed;
        EXPECT_EQ(XmlDocument::Parse(feed, parsed), S_OK);
        if (!parsed)
            return nullptr;
        parsed->SetSelectionNamespaces({{"atom", kAtomNamespace}});
        std::shared_ptr<const XmlDocument> document = std::move(parsed);
        auto item = document->SelectSingleNode("//item | //atom:entry");
        EXPECT_TRUE(item);
        return item ? MakeDomNode(document, *item) : nullptr;
    }

    std::vector<std::string> Marquees()
    {
        std::vector<std::string> marquees;
        for (const auto& line : sim_.Received())
            if (line.starts_with("sketch -c marquee -start "))
                marquees.push_back(line);
        return marquees;
    }

    SimProcess sim_{{"--players", "1"}};
    std::shared_ptr<Apartment> apartment_;
    std::shared_ptr<CVelkDevice> player_;
};

TEST_F(GenericRendererDrawingTest, TitlesScrollInThePlayersFontWithReferencesDecoded)
{
    struct Case {
        const char* name;
        std::string feed;
        const char* marquee; // UTF-8; nullptr: nothing is drawn
    };
    const Case kCases[] = {
        {"RSS title", "<rss><channel><item><title>Caf&amp;#233; &amp;#233;t&amp;#233;</title>"
                      "</item></channel></rss>",
         "Caf\u00e9 \u00e9t\u00e9"},
        {"Atom title", std::string("<feed xmlns='") + kAtomNamespace +
                           "'><entry><title>\n  Storm\n  warning </title></entry></feed>",
         "Storm warning"},
        {"no title", "<rss><channel><item><link>http://x/</link></item></channel></rss>", nullptr},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = Marquees().size();
        auto item = FirstItem(c.feed);
        ASSERT_TRUE(item);
        EXPECT_EQ(renderer_->Render(player_, item), S_OK);
        // The player's lines are in order: a marker after the renderer's shows it is done.
        ASSERT_EQ(player_->Sketch(SketchVerbs::SketchClear, {}, {}, {}, {}, {}, {}), S_OK);
        ASSERT_TRUE(RunApartmentUntil(*apartment_, [&] {
            const auto lines = sim_.Received();
            return !lines.empty() && lines.back() == "sketch -c clear";
        }, kSafetyMs));
        const auto marquees = Marquees();
        if (!c.marquee) {
            EXPECT_EQ(marquees.size(), before);
            continue;
        }
        ASSERT_EQ(marquees.size(), before + 1);
        EXPECT_EQ(marquees.back(), "sketch -c marquee -start \"" + ToAnsi(c.marquee) + "\"");
        const auto lines = sim_.Received();
        const auto marquee = std::find(lines.begin(), lines.end(), marquees.back());
        ASSERT_NE(marquee, lines.begin());
        EXPECT_EQ(*(marquee - 1), "sketch -c font " + std::to_string(CVelkDevice::kDefaultFontSize))
            << "the player's font first";
    }
}

TEST_F(GenericRendererDrawingTest, AnythingButAnItemNodeIsRefused)
{
    EXPECT_EQ(renderer_->Render(player_, nullptr), E_NOINTERFACE);
    struct NotANode : IUnknown {};
    EXPECT_EQ(renderer_->Render(player_, std::make_shared<NotANode>()), E_NOINTERFACE);
}

} // namespace
} // namespace velk
