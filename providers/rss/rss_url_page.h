// The generic renderer's URL page: the feed's address, checked and stored in its canonical
// form. In the add-feed wizard, Next stores it (an address other than HTTPS drops the stored
// credentials, and the credentials page then lets itself be skipped); when a feed is
// configured, Apply stores it. Built by its sheet when first shown; GUI thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QObject>

#include "platform/url.h"
#include "providers/rss/generic_renderer_settings.h"
#include "ui/rendered_property_page.h"
#include "velk/rss_renderer.h"

class QLineEdit;

namespace velk {

class CRssUrlPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2101;

    // The page record for the renderer owner (an IRSSRenderer with IGenericRendererSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner, bool wizard_mode);

    CRssUrlPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    // The address may have changed since (the wizard's check takes a web page's feed link).
    std::intptr_t OnSetActive() override;
    std::intptr_t OnKillActive() override;
    std::intptr_t OnApply() override;
    std::intptr_t OnWizardNext() override;

private:
    // The field's URL; none, after telling the user, when the field holds no valid URL.
    std::optional<Url> CheckedUrl();
    void Store(const std::string& url);

    const std::shared_ptr<IRSSRenderer> renderer_;
    const std::shared_ptr<IGenericRendererSettings> settings_;
    QLineEdit* url_field_;
    QObject connections_; // ends the field's connections with the page object
};

} // namespace velk
