// The news-feed module's companion (velkrss_ui.so): the feed-list page with its add-feed
// wizard, and the pages of the generic renderer.
#include "providers/common/companion_module.h"
#include "providers/rss/rss_config_page.h"
#include "providers/rss/rss_credentials_page.h"
#include "providers/rss/rss_url_page.h"

namespace velk {
namespace {

// The provider's page: its feed list for the player. The generic renderer's pages: the URL,
// then, in the wizard or for an HTTPS feed, the credentials.
HRESULT CreatePages(const UnknownPtr& owner, std::vector<HPROPSHEETPAGE>& pages)
{
    if (std::dynamic_pointer_cast<IRssFeedListSettings>(owner)) {
        pages.push_back(CRSSConfigPage::Record(owner));
        return S_OK;
    }
    auto renderer = std::dynamic_pointer_cast<IRSSRenderer>(owner);
    auto settings = std::dynamic_pointer_cast<IGenericRendererSettings>(owner);
    if (!renderer || !settings)
        return E_NOINTERFACE;
    const bool wizard = settings->WizardMode();
    pages.push_back(CRssUrlPage::Record(owner, wizard));
    std::string url;
    renderer->get_URL(url);
    if (wizard || IsHttpsFeed(url))
        pages.push_back(CRssCredentialsPage::Record(owner, wizard));
    return S_OK;
}

} // namespace
} // namespace velk

VELK_DEFINE_COMPANION_MODULE(velk::CreatePages)
