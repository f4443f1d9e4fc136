#include "renderfold/media_players_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMenu>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>

#include "renderfold/double_click_setting.h"
#include "renderfold/renderer_commands.h"
#include "renderfold/renderer_icon.h"
#include "renderfold/renderer_property_sheet.h"

namespace velk {

namespace {

// The details view's columns hidden until the user shows them.
constexpr CRendererModel::Column kHiddenColumns[] = {CRendererModel::kManufacturer, CRendererModel::kModelNumber,
                                                     CRendererModel::kDescription};

QIcon StandardIcon(QStyle::StandardPixmap pixmap) { return QApplication::style()->standardIcon(pixmap); }

} // namespace

CMediaPlayersWindow::CMediaPlayersWindow(CMediaRenderers& renderers, QWidget* parent)
    : QMainWindow(parent), renderers_(renderers),
      details_model_(new CRendererModel(renderers, CRendererModel::Layout::Details, this)),
      tiles_model_(new CRendererModel(renderers, CRendererModel::Layout::Tiles, this)),
      views_(new QStackedWidget(this)), details_(new QTreeView(views_)), tiles_(new QListView(views_)),
      count_(new QLabel(this)), searching_(new QLabel("Searching for media players...", this)),
      progress_(new QProgressBar(this))
{
    setWindowTitle("Media Players");
    setWindowIcon(RendererIcon());

    details_->setObjectName("details");
    details_->setModel(details_model_);
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setSortingEnabled(false);
    for (const auto column : kHiddenColumns)
        details_->setColumnHidden(column, true);
    details_->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(details_->header(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu menu;
        for (int column = 1; column < CRendererModel::kColumnCount; ++column) {
            QAction* toggle = menu.addAction(details_model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
            toggle->setCheckable(true);
            toggle->setChecked(!details_->isColumnHidden(column));
            connect(toggle, &QAction::toggled, details_, [this, column](bool shown) { details_->setColumnHidden(column, !shown); });
        }
        menu.exec(details_->header()->mapToGlobal(position));
    });
    connect(details_model_, &QAbstractItemModel::modelReset, details_, [this] {
        details_->expandAll();
        for (int column = 0; column < CRendererModel::kColumnCount; ++column)
            details_->resizeColumnToContents(column);
    });
    details_->header()->setMinimumSectionSize(80);

    tiles_->setObjectName("tiles");
    tiles_->setModel(tiles_model_);
    tiles_->setViewMode(QListView::IconMode);
    tiles_->setFlow(QListView::LeftToRight);
    tiles_->setWrapping(true);
    tiles_->setResizeMode(QListView::Adjust);
    tiles_->setMovement(QListView::Static);
    tiles_->setIconSize(QSize(48, 48));
    tiles_->setGridSize(QSize(220, 110));
    tiles_->setWordWrap(true);
    tiles_->setSpacing(8);

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(tiles_)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& position) { ShowContextMenu(view, position); });
        connect(view, &QAbstractItemView::doubleClicked, this, [this, view](const QModelIndex& index) {
            auto* model = static_cast<CRendererModel*>(view->model());
            if (auto item = model->ItemAt(index))
                Activate(item);
        });
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateCommands(); });
        connect(view->model(), &QAbstractItemModel::modelReset, this, [this] { UpdateCommands(); });
        views_->addWidget(view);
    }
    setCentralWidget(views_);

    QToolBar* bar = addToolBar("Commands");
    bar->setObjectName("commands");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    struct Command {
        const char* name;
        const char* title;
        const char* tip;
        QStyle::StandardPixmap icon;
    };
    const Command commands[] = {
        {"open", "Open web page", "Opens the web page to control the device", QStyle::SP_DriveNetIcon},
        {"properties", "Set device properties", "Show the device's properties", QStyle::SP_FileDialogInfoView},
        {"play", "Start the device playing", "If a playlist has been activated, start the device playing music",
         QStyle::SP_MediaPlay},
        {"pause", "Pause the device", "Temporarily suspend music on the device", QStyle::SP_MediaPause},
        {"nexttrk", "Advance to next track", "Moves to the next track on the playlist", QStyle::SP_MediaSkipForward},
        {"prevtrk", "Return to previous track", "Moves to the previous track on the playlist",
         QStyle::SP_MediaSkipBackward},
    };
    for (const Command& command : commands) {
        QAction* action = bar->addAction(StandardIcon(command.icon), command.title);
        action->setObjectName(command.name);
        action->setToolTip(command.tip);
        action->setStatusTip(command.tip);
    }
    connect(command("open"), &QAction::triggered, this, [this] {
        if (auto item = SelectedRenderer())
            OpenPresentationPage(item->device(), this);
    });
    connect(command("properties"), &QAction::triggered, this, [this] { ShowProperties(); });
    const auto transport = [this](const char* name, const char* action,
                                  void (CMediaRenderer::*send)(CMediaRenderer::Done)) {
        connect(command(name), &QAction::triggered, this, [this, action, send] {
            if (auto item = SelectedRenderer())
                (item.get()->*send)(ReportFailure(this, item->device(), action));
        });
    };
    transport("play", "Play", &CMediaRenderer::Play);
    transport("pause", "Pause", &CMediaRenderer::Pause);
    transport("nexttrk", "Next", &CMediaRenderer::Next);
    transport("prevtrk", "Previous", &CMediaRenderer::Previous);

    QMenu* view_menu = menuBar()->addMenu("&View");
    auto* layouts = new QActionGroup(this);
    QAction* details = view_menu->addAction(StandardIcon(QStyle::SP_FileDialogDetailedView), "&Details");
    QAction* tiles = view_menu->addAction(StandardIcon(QStyle::SP_FileDialogListView), "&Tiles");
    view_menu->addSeparator();
    QAction* grouped = view_menu->addAction("&Group by Manufacturer");
    details->setObjectName("view_details");
    tiles->setObjectName("view_tiles");
    grouped->setObjectName("group");
    for (QAction* action : {details, tiles, grouped})
        action->setCheckable(true);
    layouts->addAction(details);
    layouts->addAction(tiles);
    details->setChecked(true);
    connect(details, &QAction::triggered, this, [this] { SetView(View::Details); });
    connect(tiles, &QAction::triggered, this, [this] { SetView(View::Tiles); });
    connect(grouped, &QAction::toggled, this, [this](bool on) { SetGrouped(on); });

    progress_->setRange(0, 0);
    progress_->setMaximumWidth(160);
    statusBar()->addWidget(count_);
    statusBar()->addPermanentWidget(searching_);
    statusBar()->addPermanentWidget(progress_);
    connect(&renderers_, &CMediaRenderers::searchStateChanged, this, [this] { UpdateSearchState(); });
    connect(&renderers_, &CMediaRenderers::itemUpdated, this, [this] { UpdateCommands(); });
    UpdateSearchState();
    UpdateCommands();
    resize(1060, 420);
}

QAction* CMediaPlayersWindow::command(const char* name) const { return findChild<QAction*>(name); }

QAbstractItemView* CMediaPlayersWindow::CurrentView() const
{
    return static_cast<QAbstractItemView*>(views_->currentWidget());
}

void CMediaPlayersWindow::SetView(View view)
{
    const auto selected = SelectedItems();
    views_->setCurrentWidget(view == View::Details ? static_cast<QWidget*>(details_) : tiles_);
    command(view == View::Details ? "view_details" : "view_tiles")->setChecked(true);
    if (selected.size() == 1) {
        if (auto renderer = std::dynamic_pointer_cast<CMediaRenderer>(selected.front()))
            Select(renderer->udn());
    }
    UpdateCommands();
}

void CMediaPlayersWindow::SetGrouped(bool grouped)
{
    const auto selected = SelectedRenderer();
    details_model_->SetGrouped(grouped);
    if (selected)
        Select(selected->udn());
    details_->setRootIsDecorated(grouped);
    command("group")->setChecked(grouped);
}

void CMediaPlayersWindow::Select(const std::string& udn)
{
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(tiles_)}) {
        const QModelIndex index = static_cast<CRendererModel*>(view->model())->IndexOf(udn);
        view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->setCurrentIndex(index);
    }
}

std::vector<std::shared_ptr<IMediaRenderer>> CMediaPlayersWindow::SelectedItems() const
{
    std::vector<std::shared_ptr<IMediaRenderer>> items;
    const QAbstractItemView* view = CurrentView();
    const auto* model = static_cast<const CRendererModel*>(view->model());
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
        if (index.column() != 0)
            continue;
        if (auto item = model->ItemAt(index))
            items.push_back(item);
    }
    return items;
}

std::shared_ptr<CMediaRenderer> CMediaPlayersWindow::SelectedRenderer() const
{
    const auto items = SelectedItems();
    return items.size() == 1 ? std::dynamic_pointer_cast<CMediaRenderer>(items.front()) : nullptr;
}

std::unique_ptr<CItemContextMenu> CMediaPlayersWindow::ContextMenu(unsigned flags) const
{
    return std::make_unique<CItemContextMenu>(SelectedItems(), flags);
}

void CMediaPlayersWindow::ShowContextMenu(QAbstractItemView* view, const QPoint& position)
{
    if (!static_cast<CRendererModel*>(view->model())->ItemAt(view->indexAt(position)))
        return;
    const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    const auto built = ContextMenu(shift ? CMF_EXTENDEDVERBS : CMF_NORMAL);
    QMenu menu(this);
    built->Fill(menu, this);
    if (!menu.isEmpty()) {
        menu.addSeparator();
        menu.addAction("P&roperties", this, [this] { ShowProperties(); });
        menu.exec(view->viewport()->mapToGlobal(position));
    }
}

void CMediaPlayersWindow::Activate(const std::shared_ptr<CMediaRenderer>& item)
{
    if (!item)
        return;
    if (DoubleClickOpensWebPage())
        OpenPresentationPage(item->device(), this);
    else
        ShowRendererProperties(item, this);
}

void CMediaPlayersWindow::ShowProperties()
{
    const auto items = SelectedItems();
    if (!items.empty())
        ShowRendererProperties(items.front(), this);
}

void CMediaPlayersWindow::UpdateCommands()
{
    const auto item = SelectedRenderer();
    const unsigned state = item ? static_cast<unsigned>(item->transport_state()) : 0u;
    command("open")->setEnabled(item != nullptr);
    command("properties")->setEnabled(item != nullptr);
    command("play")->setEnabled(state & (AV_TRANSPORT_STOPPED | AV_TRANSPORT_PAUSED_PLAYBACK));
    command("pause")->setEnabled(state & (AV_TRANSPORT_PLAYING | AV_TRANSPORT_TRANSITIONING));
    const bool transport = state & (AV_TRANSPORT_STOPPED | AV_TRANSPORT_PLAYING | AV_TRANSPORT_TRANSITIONING |
                                    AV_TRANSPORT_PAUSED_PLAYBACK);
    command("nexttrk")->setEnabled(transport);
    command("prevtrk")->setEnabled(transport);
    const int count = static_cast<int>(renderers_.items().size());
    count_->setText(count == 1 ? "1 device" : QString("%1 devices").arg(count));
}

void CMediaPlayersWindow::UpdateSearchState()
{
    const bool searching = renderers_.search_state() == CMediaRenderers::SearchState::Searching;
    searching_->setVisible(searching);
    progress_->setVisible(searching);
}

} // namespace velk
