// The generic renderer's credentials page, for feeds served over HTTPS: the user name and the
// password of the feed's site. In the add-feed wizard it is skipped for other addresses and
// offers Next only while both fields hold text; when a feed is configured, the fields start
// with the stored values and Apply stores them. Built by its sheet when first shown; GUI
// thread only.
#pragma once

#include <memory>

#include <QObject>

#include "providers/rss/generic_renderer_settings.h"
#include "ui/rendered_property_page.h"
#include "velk/rss_renderer.h"

class QLabel;
class QLineEdit;

namespace velk {

class CRssCredentialsPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2102;
    // The longest user name and password kept.
    static constexpr int kMaxUsernameLength = 513;
    static constexpr int kMaxPasswordLength = 256;

    static HPROPSHEETPAGE Record(const UnknownPtr& owner, bool wizard_mode);

    CRssCredentialsPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;
    std::intptr_t OnApply() override;
    std::intptr_t OnWizardNext() override;

private:
    void UpdateWizardButtons();
    void Store();

    const std::shared_ptr<IRSSRenderer> renderer_;
    const std::shared_ptr<IGenericRendererSettings> settings_;
    QLabel* prompt_;
    QLineEdit* username_field_;
    QLineEdit* password_field_;
    QObject connections_;
};

// Whether the feed at url is served over HTTPS (and so may ask for credentials).
bool IsHttpsFeed(std::string_view url);

} // namespace velk
