// What a renderer's verbs do besides its transport actions: open its web page, configure it as
// administrator, and tell the user when an action failed. GUI thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "velk/media_renderer.h"

class QWidget;

namespace velk {

// An address the window hands to the desktop: only http and https (the device names it).
bool IsWebPageAddress(std::string_view url);

// Opens the device's presentation page in the desktop's browser. E_INVALIDARG (and a message
// box) when the device names no http or https page.
HRESULT OpenPresentationPage(const UPnPDeviceInfo& device, QWidget* parent);

// Starts the configuration tool with administrator rights for the renderer: pkexec with
// velkconfig from the program's own folder and the UDN. A missing pkexec or velkconfig is told
// in a message box (E_FAIL).
HRESULT RunAsAdministrator(std::string_view udn, QWidget* parent);

// What an action's caller hands it as its result: a failure shows a message box ("Pause failed
// on Living Room: ...") over parent, while parent lives.
std::function<void(HRESULT)> ReportFailure(QWidget* parent, const UPnPDeviceInfo& device, std::string_view action);

} // namespace velk
