// The contract between the news-feed provider and a feed renderer: a class in a plug-in module,
// created by class id, that owns a feed's address and credentials, keeps its own settings in a
// stream, adds the pages that edit them, and draws one feed item at a time on a player.
// Renderers register in the category "Velk RSS Parsers". Apartment-threaded: a renderer is
// used on the thread that created it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "platform/guid.h"
#include "platform/stream.h"
#include "velk/property_sheet_page.h"
#include "velk/ivelk_device.h"

namespace velk {

// {E874828A-892A-46D2-81F9-5410EAC82EA8}
constexpr Guid IID_IRSSRenderer{
    0xE874828A, 0x892A, 0x46D2, {0x81, 0xF9, 0x54, 0x10, 0xEA, 0xC8, 0x2E, 0xA8}};
// {C376E16E-CC18-4cdd-A310-9B920A74C58A}
constexpr Guid CATID_VelkRSSParsers{
    0xC376E16E, 0xCC18, 0x4CDD, {0xA3, 0x10, 0x9B, 0x92, 0x0A, 0x74, 0xC5, 0x8A}};
inline constexpr const char* kVelkRSSParsersDescription = "Velk RSS Parsers";

class IRSSRenderer : public IDispatchable {
public:
    // The address to download.
    virtual HRESULT get_URL(std::string& url) = 0;
    virtual HRESULT put_URL(std::string_view url) = 0;
    // Whether the renderer has pages worth showing once the feed exists.
    virtual HRESULT get_IsConfigurable(bool& configurable) = 0;
    // Everything the renderer needs, written and read back; the provider keeps the bytes.
    virtual HRESULT Save(IStream& stream) = 0;
    virtual HRESULT Load(IStream& stream) = 0;
    // The renderer's pages, to the sheet's callback: wizard mode while a feed is being added,
    // not while one is configured. E_OUTOFMEMORY when no page could be made, E_FAIL when the
    // sheet refused one.
    virtual HRESULT AddPages(const AddPropSheetPageFn& lpfnAddPage, bool bWizardMode) = 0;
    // Draws one item (an IXMLDOMNode: an RSS "item" or an Atom "entry") on the player. S_OK
    // moves on to the next item at the next run, S_FALSE keeps this one, E_INVALIDARG ends the
    // feed for this player.
    virtual HRESULT Render(const std::shared_ptr<IVelkDevice>& iDevice,
                           const UnknownPtr& lpunkNode) = 0;
    // Namespace declarations its items need for XPath ("xmlns:p='uri' ..."); E_NOTIMPL when
    // it needs none beyond "atom".
    virtual HRESULT get_Namespaces(std::string& namespaces) = 0;
    virtual HRESULT get_Username(std::string& username) = 0;
    virtual HRESULT get_Password(std::string& password) = 0;
    // The player whose configuration the pages edit (its UDN and model).
    virtual HRESULT Initialize(std::string_view bstrDeviceUDN, std::string_view bstrDeviceType) = 0;
};

} // namespace velk
