#include "providers/rss/generic_rss_renderer.h"

#include "platform/xml_dom_node.h"
#include "providers/common/companion_module.h"
#include "providers/common/player_text.h"
#include "providers/rss/feed_text.h"
#include "providers/rss/generic_renderer_state.h"

namespace velk {

namespace {

// An address inside this module, by which its companion module is found.
void ModuleAnchor() {}

// An item's title: RSS's own, or Atom's.
std::shared_ptr<IXMLDOMNode> TitleOf(IXMLDOMNode& item)
{
    std::shared_ptr<IXMLDOMNode> title;
    if (item.selectSingleNode("title", title) == S_OK)
        return title;
    if (item.selectSingleNode("atom:title", title) == S_OK)
        return title;
    return nullptr;
}

} // namespace

const Dispatcher<CGenericRSSRenderer>& CGenericRSSRenderer::Dispatch()
{
    static const auto dispatcher =
        DispatchBuilder<CGenericRSSRenderer>("IRSSRenderer")
            .Property("URL", 0, &CGenericRSSRenderer::get_URL, &CGenericRSSRenderer::put_URL)
            .Get("IsConfigurable", 1, &CGenericRSSRenderer::get_IsConfigurable)
            .Get("Namespaces", 6, &CGenericRSSRenderer::get_Namespaces)
            .Get("Username", 7, &CGenericRSSRenderer::get_Username)
            // The password is for the feed's download, not for scripts.
            .Method("Initialize", 9, &CGenericRSSRenderer::Initialize,
                    {"bstrDeviceUDN", "bstrDeviceType"})
            .Build();
    return dispatcher;
}

HRESULT CGenericRSSRenderer::get_URL(std::string& url)
{
    url = url_;
    return S_OK;
}

HRESULT CGenericRSSRenderer::put_URL(std::string_view url)
{
    url_ = std::string(url);
    return S_OK;
}

HRESULT CGenericRSSRenderer::get_IsConfigurable(bool& configurable)
{
    configurable = true;
    return S_OK;
}

HRESULT CGenericRSSRenderer::Save(IStream& stream)
{
    return WriteGenericRendererState(stream, {url_, username_, password_}, DataProtection());
}

HRESULT CGenericRSSRenderer::Load(IStream& stream)
{
    GenericRendererState state{url_, username_, password_};
    HRESULT hr = ReadGenericRendererState(stream, DataProtection(), state);
    url_ = std::move(state.url);
    username_ = std::move(state.username);
    password_ = std::move(state.password);
    return hr;
}

HRESULT CGenericRSSRenderer::AddPages(const AddPropSheetPageFn& lpfnAddPage, bool bWizardMode)
{
    wizard_mode_ = bWizardMode;
    return CompanionModule::AddPages(lpfnAddPage, reinterpret_cast<const void*>(&ModuleAnchor),
                                     std::static_pointer_cast<IRSSRenderer>(shared_from_this()));
}

HRESULT CGenericRSSRenderer::Render(const std::shared_ptr<IVelkDevice>& iDevice,
                                    const UnknownPtr& lpunkNode)
{
    auto item = std::dynamic_pointer_cast<IXMLDOMNode>(lpunkNode);
    if (!item)
        return E_NOINTERFACE;
    if (!iDevice)
        return E_POINTER;
    const auto title = TitleOf(*item);
    if (!title)
        return S_OK;
    std::string text;
    HRESULT hr = title->get_text(text);
    if (FAILED(hr))
        return hr;
    SelectPlayerFont(*iDevice);
    ScrollText(*iDevice, DisplayLine(DecodeNumericReferences(text)));
    return S_OK;
}

HRESULT CGenericRSSRenderer::get_Namespaces(std::string&)
{
    return E_NOTIMPL;
}

HRESULT CGenericRSSRenderer::get_Username(std::string& username)
{
    username = username_;
    return S_OK;
}

HRESULT CGenericRSSRenderer::get_Password(std::string& password)
{
    password = password_;
    return S_OK;
}

HRESULT CGenericRSSRenderer::Initialize(std::string_view, std::string_view)
{
    return S_OK;
}

void CGenericRSSRenderer::SetCredentials(std::string username, std::string password)
{
    username_ = std::move(username);
    password_ = std::move(password);
}

} // namespace velk
