#include "renderfold/item_context_menu.h"

#include <QApplication>
#include <QFont>
#include <QMenu>
#include <QStyle>

#include "platform/shell_handlers.h"
#include "renderfold/association_classes.h"
#include "renderfold/renderer_context_menu.h"

namespace velk {

CItemContextMenu::CItemContextMenu(std::vector<std::shared_ptr<IMediaRenderer>> items, unsigned flags)
{
    if (items.empty())
        return;
    UPnPDeviceInfo device;
    items.front()->get_UPnPDevice(device);
    const auto data = std::make_shared<CPidlDataObject>(std::move(items));
    Query(std::make_shared<CMediaRendererContextMenu>(), data, flags);
    for (const std::string& association : AssociationClasses(device.manufacturer)) {
        std::vector<UnknownPtr> handlers;
        CreateShellHandlers(association, kContextMenuHandlers, handlers);
        for (const auto& handler : handlers) {
            if (auto menu = std::dynamic_pointer_cast<IContextMenu>(handler))
                Query(menu, data, flags);
        }
    }
}

void CItemContextMenu::Query(const std::shared_ptr<IContextMenu>& handler, const std::shared_ptr<IDataObject>& data,
                             unsigned flags)
{
    if (auto init = std::dynamic_pointer_cast<IShellExtInit>(handler); init && FAILED(init->Initialize(data)))
        return;
    const unsigned first_id = 1 + static_cast<unsigned>(handlers_.size()) * kIdsPerHandler;
    if (SUCCEEDED(handler->QueryContextMenu(menu_, menu_.items.size(), first_id, first_id + kIdsPerHandler - 1, flags)))
        handlers_.push_back({handler, first_id});
}

HRESULT CItemContextMenu::Invoke(unsigned command_id, QWidget* owner) const
{
    for (const Handler& handler : handlers_) {
        if (command_id >= handler.first_id && command_id < handler.first_id + kIdsPerHandler)
            return handler.menu->InvokeCommand({command_id - handler.first_id, owner});
    }
    return E_INVALIDARG;
}

void CItemContextMenu::Fill(QMenu& menu, QWidget* owner) const
{
    bool separator_due = false;
    for (const ContextMenuItem& item : menu_.items) {
        if (item.separator) {
            separator_due = !menu.isEmpty();
            continue;
        }
        if (separator_due)
            menu.addSeparator();
        separator_due = false;
        QAction* action = menu.addAction(QString::fromStdString(item.text));
        if (item.shield)
            action->setIcon(QApplication::style()->standardIcon(QStyle::SP_VistaShield));
        if (item.command_id == menu_.default_command) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
            menu.setDefaultAction(action);
        }
        const unsigned id = item.command_id;
        QObject::connect(action, &QAction::triggered, &menu, [this, id, owner] { Invoke(id, owner); });
    }
}

} // namespace velk
