#include "tools/velkconfig/config_tool.h"

#include <QMessageBox>

#include <memory>
#include <string>

#include "renderfold/renderer_property_sheet.h"
#include "renderfold/renderer_resolver.h"

namespace velk {

int RunConfigTool(const QStringList& arguments)
{
    // Only the first word names the player; any further ones are ignored.
    if (arguments.isEmpty()) {
        QMessageBox::warning(nullptr, kConfigToolCaption,
                             "Please configure the Velk Data Service from the Media Players window");
        return 0;
    }
    const QString player = arguments.front();
    std::shared_ptr<IMediaRenderer> renderer;
    if (FAILED(ResolveRenderer(nullptr, player.toStdString(), renderer))) {
        QMessageBox::warning(nullptr, kConfigToolCaption,
                             QString("The Melodeck %1 was not found on the network.").arg(player.left(128)));
        return 1;
    }
    // The Melodeck players' own pages: those that need administrator rights are among them.
    return SUCCEEDED(ShowRendererProperties(renderer, nullptr, {std::string(kMelodeckPlayerClass)})) ? 0 : 1;
}

} // namespace velk
