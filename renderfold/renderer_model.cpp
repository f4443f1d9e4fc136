#include "renderfold/renderer_model.h"

#include "renderfold/renderer_icon.h"

#include <QFont>

namespace velk {

namespace {

// Items of a group carry their group's row + 1; top rows carry 0.
constexpr quintptr kTopRow = 0;

constexpr const char* kColumnTitles[] = {"Name", "Model Name", "Status", "Play Mode", "Artist", "Album",
                                         "Track", "Track Time", "Manufacturer", "Model Number", "Description"};

QString Text(const std::string& text) { return QString::fromStdString(text); }

} // namespace

CRendererModel::CRendererModel(CMediaRenderers& renderers, Layout layout, QObject* parent)
    : QAbstractItemModel(parent), renderers_(renderers), layout_(layout)
{
    connect(&renderers_, &CMediaRenderers::itemAdded, this, [this] { Rebuild(); });
    connect(&renderers_, &CMediaRenderers::itemRemoved, this, [this] { Rebuild(); });
    connect(&renderers_, &CMediaRenderers::itemUpdated, this, [this](int index) { Updated(index); });
    Rebuild();
}

void CRendererModel::SetGrouped(bool grouped)
{
    if (layout_ == Layout::Details && grouped != grouped_) {
        grouped_ = grouped;
        Rebuild();
    }
}

void CRendererModel::Rebuild()
{
    beginResetModel();
    groups_.clear();
    const auto& items = renderers_.items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const QString manufacturer = grouped_ ? QString::fromStdString(ShownText(items[i]->device().manufacturer)) : QString();
        auto group = std::ranges::find_if(groups_, [&](const Group& g) { return g.manufacturer == manufacturer; });
        if (group == groups_.end())
            group = groups_.insert(groups_.end(), Group{manufacturer, {}});
        group->items.push_back(i);
    }
    endResetModel();
}

void CRendererModel::Updated(int table_index)
{
    const auto& items = renderers_.items();
    if (table_index < 0 || table_index >= static_cast<int>(items.size()))
        return;
    // A new maker's name moves the renderer to another group.
    const QModelIndex row = IndexOf(items[table_index]->udn());
    if (grouped_ && (!row.isValid() || groups_[row.parent().row()].manufacturer !=
                                            QString::fromStdString(ShownText(items[table_index]->device().manufacturer)))) {
        Rebuild();
        return;
    }
    if (row.isValid())
        emit dataChanged(row, row.siblingAtColumn(kColumnCount - 1));
}

std::shared_ptr<CMediaRenderer> CRendererModel::ItemAt(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    int table_index = -1;
    if (!grouped_) {
        if (!groups_.empty() && index.row() < static_cast<int>(groups_[0].items.size()))
            table_index = groups_[0].items[index.row()];
    } else if (index.internalId() != kTopRow) {
        const auto& group = groups_.at(index.internalId() - 1);
        if (index.row() < static_cast<int>(group.items.size()))
            table_index = group.items[index.row()];
    }
    const auto& items = renderers_.items();
    return table_index >= 0 && table_index < static_cast<int>(items.size()) ? items[table_index] : nullptr;
}

QModelIndex CRendererModel::IndexOf(const std::string& udn) const
{
    const int table_index = renderers_.IndexOf(udn);
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const auto& items = groups_[g].items;
        const auto found = std::ranges::find(items, table_index);
        if (found == items.end())
            continue;
        const int row = static_cast<int>(found - items.begin());
        return grouped_ ? index(row, 0, index(static_cast<int>(g), 0)) : index(row, 0);
    }
    return {};
}

QModelIndex CRendererModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? static_cast<quintptr>(parent.row() + 1) : kTopRow);
}

QModelIndex CRendererModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == kTopRow)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kTopRow);
}

int CRendererModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        if (grouped_)
            return static_cast<int>(groups_.size());
        return groups_.empty() ? 0 : static_cast<int>(groups_[0].items.size());
    }
    if (grouped_ && parent.internalId() == kTopRow && parent.column() == 0)
        return static_cast<int>(groups_.at(parent.row()).items.size());
    return 0;
}

int CRendererModel::columnCount(const QModelIndex&) const { return layout_ == Layout::Details ? kColumnCount : 1; }

QVariant CRendererModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (auto item = ItemAt(index))
        return ItemData(*item, index.column(), role);
    // A group's row: its maker and how many renderers it holds.
    if (index.column() != 0)
        return {};
    const Group& group = groups_.at(index.row());
    if (role == Qt::DisplayRole)
        return QString("%1 (%2)").arg(group.manufacturer.isEmpty() ? "Unknown" : group.manufacturer).arg(group.items.size());
    if (role == Qt::FontRole) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return {};
}

QVariant CRendererModel::ItemData(const CMediaRenderer& item, int column, int role) const
{
    const UPnPDeviceInfo& device = item.device();
    const TrackInfo& track = item.track();
    if (role == Qt::DecorationRole && column == kName)
        return RendererIcon();
    if (role == Qt::ToolTipRole)
        return Text(ShownText(device.model_name)) + (track.title.empty() ? "" : "\n" + Text(track.title));
    if (role != Qt::DisplayRole)
        return {};
    if (layout_ == Layout::Tiles) {
        QString tile = Text(ShownText(device.friendly_name)) + "\n" + Text(ShownText(device.model_name));
        const std::string state = TransportStateText(item.transport_state());
        if (!track.title.empty())
            tile += "\n" + Text(track.title);
        else if (!state.empty())
            tile += "\n" + Text(state);
        return tile;
    }
    switch (column) {
    case kName:
        return Text(ShownText(device.friendly_name));
    case kModelName:
        return Text(ShownText(device.model_name));
    case kStatus:
        return Text(TransportStateText(item.transport_state()));
    case kPlayMode:
        return Text(PlayModeText(item.play_mode()));
    case kArtist:
        return Text(track.artist);
    case kAlbum:
        return Text(track.album);
    case kTrack:
        return Text(track.title);
    case kTrackTime:
        return Text(item.track_duration());
    case kManufacturer:
        return Text(ShownText(device.manufacturer));
    case kModelNumber:
        return Text(ShownText(device.model_number));
    case kDescription:
        return Text(ShownText(device.model_description));
    default:
        return {};
    }
}

QVariant CRendererModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
        return {};
    return QString(kColumnTitles[section]);
}

} // namespace velk
