// The default feed renderer: scrolls each item's title across the player's display. Besides
// the URL it keeps a user name and password, protected for this machine in its stream; its
// pages (URL, and credentials for HTTPS feeds) come from the companion module. Created by class
// id; used on the thread that created it.
#pragma once

#include <string>

#include "automation/dispatch.h"
#include "providers/rss/generic_renderer_settings.h"
#include "velk/rss_renderer.h"

namespace velk {

// {3DF377CA-5671-4382-815A-E55BD22A145B}
constexpr Guid CLSID_GenericRSSRenderer{
    0x3DF377CA, 0x5671, 0x4382, {0x81, 0x5A, 0xE5, 0x5B, 0xD2, 0x2A, 0x14, 0x5B}};

class CGenericRSSRenderer : public DispatchImpl<CGenericRSSRenderer, IRSSRenderer>,
                            public IGenericRendererSettings,
                            public std::enable_shared_from_this<CGenericRSSRenderer> {
public:
    static const Dispatcher<CGenericRSSRenderer>& Dispatch();

    HRESULT get_URL(std::string& url) override;
    HRESULT put_URL(std::string_view url) override;
    HRESULT get_IsConfigurable(bool& configurable) override;
    HRESULT Save(IStream& stream) override;
    HRESULT Load(IStream& stream) override;
    HRESULT AddPages(const AddPropSheetPageFn& lpfnAddPage, bool bWizardMode) override;
    HRESULT Render(const std::shared_ptr<IVelkDevice>& iDevice,
                   const UnknownPtr& lpunkNode) override;
    HRESULT get_Namespaces(std::string& namespaces) override;
    HRESULT get_Username(std::string& username) override;
    HRESULT get_Password(std::string& password) override;
    HRESULT Initialize(std::string_view bstrDeviceUDN, std::string_view bstrDeviceType) override;

    bool WizardMode() const override { return wizard_mode_; }
    void SetCredentials(std::string username, std::string password) override;

private:
    std::string url_;
    std::string username_;
    std::string password_;
    bool wizard_mode_ = false;
};

} // namespace velk
