// The renderers of the device table as the window's views show them: one row per renderer with
// the columns of the details view, grouped under their manufacturer when asked; or, for the
// tiles view, one tile per renderer with its name, model and track. Follows the table's
// signals. GUI thread only.
#pragma once

#include <memory>
#include <vector>

#include <QAbstractItemModel>

#include "renderfold/media_renderers.h"

namespace velk {

class CRendererModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column {
        kName, kModelName, kStatus, kPlayMode, kArtist, kAlbum, kTrack, kTrackTime,
        kManufacturer, kModelNumber, kDescription, kColumnCount
    };
    enum class Layout { Details, Tiles };

    CRendererModel(CMediaRenderers& renderers, Layout layout, QObject* parent = nullptr);

    // Details only: manufacturers as top rows, their renderers below.
    void SetGrouped(bool grouped);
    bool grouped() const { return grouped_; }
    // The renderer of a row; none for a group's row.
    std::shared_ptr<CMediaRenderer> ItemAt(const QModelIndex& index) const;
    // The row of a renderer, in column 0.
    QModelIndex IndexOf(const std::string& udn) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Group {
        QString manufacturer;
        std::vector<int> items; // table indices
    };

    void Rebuild();
    void Updated(int table_index);
    QVariant ItemData(const CMediaRenderer& item, int column, int role) const;

    CMediaRenderers& renderers_;
    const Layout layout_;
    bool grouped_ = false;
    std::vector<Group> groups_;
};

} // namespace velk
