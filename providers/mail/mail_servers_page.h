// "Mail Servers": the mail provider's accounts by name and type, with "Add..." (the add-account
// wizard: "Select Server Type", then "POP3 Server"), "Delete..." (after asking) and
// "&Configure..." (the account's "POP3 Server" settings). Each change goes into the provider at
// once and marks the page changed, so that the sheet's Apply has the configuration side save
// the provider's state. GUI thread only.
#pragma once

#include <memory>

#include <QObject>

#include "providers/mail/mail_server_settings.h"
#include "ui/rendered_property_page.h"

class QPushButton;
class QTreeWidget;

namespace velk {

class CMailServersPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 3101;

    // The page record for the provider owner (an IMailServerSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CMailServersPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;

private:
    void Fill(int selected);
    void Add();
    void Delete();
    void Configure();
    int Selected() const;

    const std::shared_ptr<IMailServerSettings> settings_;
    QTreeWidget* list_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* configure_;
    QObject connections_;
};

} // namespace velk
