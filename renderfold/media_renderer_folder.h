// The process's one folder of media renderers: the device table and the finder that fills it,
// shared by the window and by whoever resolves a renderer. Made on first use on the GUI thread
// and owned by the application object, so the UPnP apartment ends before the application does.
#pragma once

#include <QObject>

#include "renderfold/media_renderers.h"
#include "renderfold/renderer_finder.h"

namespace velk {

class CMediaRendererFolder : public QObject {
    Q_OBJECT

public:
    // Needs the application object.
    static CMediaRendererFolder& Instance();

    CMediaRenderers& renderers() { return renderers_; }
    // Starts the search once.
    void StartSearch() { finder_.Start(); }

private:
    explicit CMediaRendererFolder(QObject* parent);

    CMediaRenderers renderers_;
    CRendererFinder finder_;
};

} // namespace velk
