#include "providers/rss/rss_config_page.h"

#include <algorithm>

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "providers/rss/add_feed_wizard.h"
#include "providers/rss/feed_table.h"
#include "providers/rss/rss_strings.h"
#include "ui/data_service_state.h"

namespace velk {

namespace {

constexpr const char* kTabTitle = "RSS/Atom News Feeds";
constexpr const char* kRemoveOne = "Are you sure you want to remove the %1 feed?";
constexpr const char* kRemoveSeveral = "Are you sure you want to remove these feeds?";
constexpr int kKeyRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;
enum Column { kTitleColumn, kUrlColumn, kDownloadedColumn };

// Rows sort by their sort value where they have one (the download time), else by text.
class FeedItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, kSortRole);
        if (mine.isValid())
            return mine.toLongLong() < other.data(column, kSortRole).toLongLong();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

} // namespace

HPROPSHEETPAGE CRSSConfigPage::Record(const UnknownPtr& owner)
{
    PropSheetPage record;
    record.title = kTabTitle;
    record.template_id = kDialogId;
    record.lParam = owner;
    return PageRecord<CRSSConfigPage>(std::move(record));
}

CRSSConfigPage::CRSSConfigPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page)
    : CRenderedPropertyPage(window, sheet, page),
      settings_(std::dynamic_pointer_cast<IRssFeedListSettings>(page.lParam)),
      list_(new QTreeWidget(window)),
      add_(new QPushButton("Add...", window)),
      delete_(new QPushButton("Delete...", window)),
      configure_(new QPushButton("&Configure...", window))
{
    list_->setObjectName("feeds");
    list_->setHeaderLabels({"Title", "URL", "Last Downloaded"});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSortingEnabled(true);
    list_->sortByColumn(kTitleColumn, Qt::AscendingOrder);
    list_->header()->setSortIndicatorShown(true);
    list_->setColumnWidth(kTitleColumn, 180);
    list_->setColumnWidth(kUrlColumn, 240);
    list_->setMinimumSize(560, 220);
    add_->setObjectName("add");
    delete_->setObjectName("delete");
    configure_->setObjectName("configure");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addWidget(delete_);
    buttons->addWidget(configure_);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(list_);
    layout->addLayout(buttons);
}

std::intptr_t CRSSConfigPage::OnInitDialog()
{
    writable_ = SUCCEEDED(feeds_key_.Create(Hive::LocalMachine, FeedTable::kFeedsKey));
    if (!writable_)
        feeds_key_.Open(Hive::LocalMachine, FeedTable::kFeedsKey);
    add_->setEnabled(writable_);
    Fill();
    Watch();

    QObject::connect(list_, &QTreeWidget::itemSelectionChanged, &connections_, [this] { UpdateButtons(); });
    QObject::connect(list_, &QTreeWidget::itemChanged, &connections_,
                     [this](QTreeWidgetItem* item, int column) {
                         if (column == kTitleColumn)
                             Toggled(item);
                     });
    QObject::connect(list_, &QTreeWidget::itemDoubleClicked, &connections_, [this] {
        if (configure_->isEnabled())
            Configure();
    });
    QObject::connect(add_, &QPushButton::clicked, &connections_, [this] { Add(); });
    QObject::connect(delete_, &QPushButton::clicked, &connections_, [this] { Delete(); });
    QObject::connect(configure_, &QPushButton::clicked, &connections_, [this] { Configure(); });

    // A first feed is added at once, once the page shows.
    if (entries_.empty() && writable_)
        QTimer::singleShot(0, &connections_, [this] { Add(); });
    return 1;
}

void CRSSConfigPage::OnDestroy()
{
    delete watch_;
    watch_ = nullptr;
    feeds_key_.Close();
}

void CRSSConfigPage::Watch()
{
    if (!feeds_key_.IsOpen())
        return;
    changed_.Reset();
    if (FAILED(feeds_key_.NotifyChange(changed_, true)))
        return;
    if (!watch_) {
        watch_ = new QSocketNotifier(changed_.fd(), QSocketNotifier::Read, window());
        QObject::connect(watch_, &QSocketNotifier::activated, &connections_, [this] {
            Fill();
            Watch();
        });
    }
}

void CRSSConfigPage::Fill()
{
    std::vector<std::string> selected;
    for (const QTreeWidgetItem* item : list_->selectedItems())
        selected.push_back(item->data(kTitleColumn, kKeyRole).toString().toStdString());
    const auto shown = settings_ ? settings_->PlayerFeeds() : std::vector<std::string>{};
    const std::string udn = settings_ ? settings_->ConfiguredPlayer() : std::string();
    const std::string model = settings_ ? settings_->ConfiguredModel() : std::string();
    entries_ = ReadFeedEntries(udn, model);

    const QSignalBlocker quiet(list_);
    list_->setSortingEnabled(false);
    list_->clear();
    for (const FeedEntry& entry : entries_) {
        auto* item = new FeedItem(list_);
        item->setText(kTitleColumn, QString::fromStdString(entry.title));
        item->setData(kTitleColumn, kKeyRole, QString::fromStdString(entry.key_name));
        item->setText(kUrlColumn, QString::fromStdString(entry.url));
        if (entry.last_downloaded) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                entry.last_downloaded->time_since_epoch()).count();
            const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
            item->setText(kDownloadedColumn, QLocale().toString(local, QLocale::ShortFormat));
            item->setData(kDownloadedColumn, kSortRole, static_cast<qlonglong>(seconds));
        } else {
            item->setData(kDownloadedColumn, kSortRole, qlonglong{0});
        }
        if (writable_) {
            const bool on = std::find(shown.begin(), shown.end(), entry.key_name) != shown.end();
            item->setCheckState(kTitleColumn, on ? Qt::Checked : Qt::Unchecked);
        }
        if (std::find(selected.begin(), selected.end(), entry.key_name) != selected.end())
            item->setSelected(true);
    }
    list_->setSortingEnabled(true);
    UpdateButtons();
}

const FeedEntry* CRSSConfigPage::EntryOf(const QTreeWidgetItem* item) const
{
    const std::string key = item->data(kTitleColumn, kKeyRole).toString().toStdString();
    for (const FeedEntry& entry : entries_) {
        if (entry.key_name == key)
            return &entry;
    }
    return nullptr;
}

void CRSSConfigPage::UpdateButtons()
{
    const auto selected = list_->selectedItems();
    delete_->setEnabled(writable_ && !selected.isEmpty());
    bool configurable = false;
    if (selected.size() == 1) {
        const FeedEntry* entry = EntryOf(selected.front());
        if (entry && entry->renderer)
            entry->renderer->get_IsConfigurable(configurable);
    }
    configure_->setEnabled(writable_ && configurable);
}

void CRSSConfigPage::SetShown(const std::string& key_name, bool shown)
{
    if (!settings_)
        return;
    auto feeds = settings_->PlayerFeeds();
    const auto found = std::find(feeds.begin(), feeds.end(), key_name);
    if (shown == (found != feeds.end()))
        return;
    if (shown)
        feeds.push_back(key_name);
    else
        feeds.erase(found);
    settings_->SetPlayerFeeds(std::move(feeds));
    sheet().Changed(*this);
}

void CRSSConfigPage::Toggled(QTreeWidgetItem* item)
{
    SetShown(item->data(kTitleColumn, kKeyRole).toString().toStdString(),
             item->checkState(kTitleColumn) == Qt::Checked);
}

void CRSSConfigPage::Add()
{
    if (!settings_ || !writable_)
        return;
    const std::string added =
        RunAddFeedWizard(sheet().window(), settings_->ConfiguredPlayer(), settings_->ConfiguredModel());
    if (added.empty())
        return;
    SetShown(added, true);
    Fill();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->data(kTitleColumn, kKeyRole).toString().toStdString() == added) {
            list_->setCurrentItem(item);
            list_->scrollToItem(item);
        }
    }
}

void CRSSConfigPage::Delete()
{
    const auto selected = list_->selectedItems();
    if (selected.isEmpty() || !writable_)
        return;
    const QString question = selected.size() == 1
                                 ? QString(kRemoveOne).arg(selected.front()->text(kTitleColumn))
                                 : QString(kRemoveSeveral);
    if (QMessageBox::question(sheet().window(), QString::fromUtf8(kRssCaption), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    // A running service deletes a marked feed itself, once it no longer uses it.
    const bool running = IsDataServiceRunning();
    for (const QTreeWidgetItem* item : selected) {
        const std::string key = item->data(kTitleColumn, kKeyRole).toString().toStdString();
        if (running) {
            RegKey feed;
            if (SUCCEEDED(feed.Open(feeds_key_, key, RegAccess::All)))
                feed.SetDWORDValue(FeedTable::kFlagsValue, FeedTable::kFlagsDeleted);
        } else {
            feeds_key_.DeleteTree(key);
        }
        SetShown(key, false);
    }
    Fill();
}

void CRSSConfigPage::Configure()
{
    const auto selected = list_->selectedItems();
    if (selected.size() != 1 || !settings_)
        return;
    const FeedEntry* entry = EntryOf(selected.front());
    if (!entry || !entry->renderer)
        return;
    if (RunFeedSheet(sheet().window(), *entry, settings_->ConfiguredPlayer(),
                     settings_->ConfiguredModel()))
        Fill();
}

} // namespace velk
