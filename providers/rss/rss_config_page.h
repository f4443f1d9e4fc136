// "RSS/Atom News Feeds": the machine's feeds (title, address, last download) with a check box
// per feed the player shows, sorted by any column; "Add..." (the add-feed wizard, opened at
// once when there is no feed yet), "Delete..." (after asking) and "&Configure..." (the feed's
// sheet; double-click too). Without write access to the feed list the page only shows it. The
// list follows changes to the feeds made elsewhere (the service's downloads, other pages).
// GUI thread only.
#pragma once

#include <memory>
#include <vector>

#include <QObject>

#include "platform/event.h"
#include "platform/reg_key.h"
#include "providers/rss/feed_entry.h"
#include "providers/rss/rss_feed_list_settings.h"
#include "ui/rendered_property_page.h"

class QPushButton;
class QSocketNotifier;
class QTreeWidget;
class QTreeWidgetItem;

namespace velk {

class CRSSConfigPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 2001;

    // The page record for the provider owner (an IRssFeedListSettings).
    static HPROPSHEETPAGE Record(const UnknownPtr& owner);

    CRSSConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    void OnDestroy() override;

private:
    // Rebuilds the rows from the registry, keeping the selection.
    void Fill();
    void Watch();
    void UpdateButtons();
    void Toggled(QTreeWidgetItem* item);
    void Add();
    void Delete();
    void Configure();
    const FeedEntry* EntryOf(const QTreeWidgetItem* item) const;
    void SetShown(const std::string& key_name, bool shown);

    const std::shared_ptr<IRssFeedListSettings> settings_;
    std::vector<FeedEntry> entries_;
    bool writable_ = false;
    RegKey feeds_key_;
    Event changed_;
    QSocketNotifier* watch_ = nullptr;
    QTreeWidget* list_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* configure_;
    QObject connections_;
};

} // namespace velk
