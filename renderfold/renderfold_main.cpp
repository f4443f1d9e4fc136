// renderfold: the "Media Players" window. `--regserver` registers its common property pages
// and what the window reads under HKCR\MediaRenderer; `--unregserver` removes them.
#include <cstdio>
#include <string_view>

#include <QApplication>

#include "renderfold/media_players_window.h"
#include "renderfold/media_renderer_folder.h"
#include "renderfold/renderfold_registration.h"

int main(int argc, char** argv)
{
    using namespace velk;
    if (argc == 2 && (std::string_view(argv[1]) == "--regserver" || std::string_view(argv[1]) == "--unregserver")) {
        const bool registering = std::string_view(argv[1]) == "--regserver";
        const HRESULT hr = registering ? RegisterRenderfold() : UnregisterRenderfold();
        if (FAILED(hr)) {
            std::fprintf(stderr, "renderfold: %s failed: %s\n", argv[1], HResultMessage(hr).c_str());
            return 1;
        }
        return 0;
    }
    if (argc > 1) {
        std::fprintf(stderr, "usage: renderfold [--regserver | --unregserver]\n");
        return 2;
    }
    QApplication application(argc, argv);
    auto& folder = CMediaRendererFolder::Instance();
    CMediaPlayersWindow window(folder.renderers());
    window.show();
    folder.StartSearch();
    return application.exec();
}
