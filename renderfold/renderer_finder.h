// Finds the media renderers of the network and keeps the device table up to date: every UPnP
// object (the device finder, each device's AVTransport and RenderingControl services) lives on
// an apartment thread of its own, and each result reaches the table on the GUI thread as a
// queued call. Actions asked for on the GUI thread are sent from that apartment, so the GUI
// never waits for a device. Created, used and destroyed on the GUI thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/apartment.h"
#include "renderfold/media_renderers.h"
#include "renderfold/renderer_actions.h"

namespace velk {

class CRendererFinder final : public CRendererActions {
    Q_OBJECT

public:
    explicit CRendererFinder(CMediaRenderers& renderers, QObject* parent = nullptr);
    // Ends the search and releases every UPnP object on its apartment; no result arrives after.
    ~CRendererFinder() override;

    // Starts the search for media renderers on the named interfaces (all when empty); a second
    // call does nothing.
    void Start(std::vector<std::string> interfaces = {});

    void InvokeAction(const std::string& udn, std::string_view service_id, std::string_view action,
                      UPnPService::Arguments in, Done done) override;

private:
    class Worker;

    CMediaRenderers& renderers_;
    ApartmentThread thread_;
    std::shared_ptr<Worker> worker_; // created, used and released on the apartment only
    bool started_ = false;
};

} // namespace velk
