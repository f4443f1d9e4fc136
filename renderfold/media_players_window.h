// The "Media Players" window: the renderers of the device table in a details view (columns,
// optionally grouped by manufacturer) or a tiles view, a command bar with the transport
// commands for the selected renderer, each item's context menu (its own verbs and the
// registered handlers') and its property sheet, and progress while the search runs.
// Double-clicking follows the user's "DoubleClick" setting. GUI thread only.
#pragma once

#include <memory>
#include <vector>

#include <QMainWindow>

#include "renderfold/item_context_menu.h"
#include "renderfold/media_renderers.h"
#include "renderfold/renderer_model.h"

class QAbstractItemView;
class QAction;
class QLabel;
class QListView;
class QProgressBar;
class QStackedWidget;
class QTreeView;

namespace velk {

class CMediaPlayersWindow : public QMainWindow {
    Q_OBJECT

public:
    enum class View { Details, Tiles };

    explicit CMediaPlayersWindow(CMediaRenderers& renderers, QWidget* parent = nullptr);

    void SetView(View view);
    void SetGrouped(bool grouped);
    // Selects the renderer (and only it) in both views.
    void Select(const std::string& udn);
    std::vector<std::shared_ptr<IMediaRenderer>> SelectedItems() const;
    // The context menu of the selection, as a right click builds it.
    std::unique_ptr<CItemContextMenu> ContextMenu(unsigned flags) const;
    // What a double click on the renderer does.
    void Activate(const std::shared_ptr<CMediaRenderer>& item);

    QTreeView* details() const { return details_; }
    QListView* tiles() const { return tiles_; }
    QAction* command(const char* name) const;

private:
    QAbstractItemView* CurrentView() const;
    void ShowContextMenu(QAbstractItemView* view, const QPoint& position);
    void UpdateCommands();
    void UpdateSearchState();
    void ShowProperties();
    std::shared_ptr<CMediaRenderer> SelectedRenderer() const;

    CMediaRenderers& renderers_;
    CRendererModel* details_model_;
    CRendererModel* tiles_model_;
    QStackedWidget* views_;
    QTreeView* details_;
    QListView* tiles_;
    QLabel* count_;
    QLabel* searching_;
    QProgressBar* progress_;
};

} // namespace velk
