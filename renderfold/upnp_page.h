// "General": the renderer's maker, its name as a link to its web page, model name and number,
// description and address, as the device describes itself. The name comes from the network:
// it is shown escaped, and the link opens only an http or https page. GUI thread only.
#pragma once

#include <memory>

#include <QObject>

#include "ui/rendered_property_page.h"
#include "velk/media_renderer.h"

namespace velk {

class CUPnPPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 106;

    // The page record for an IMediaRenderer owner.
    static HPROPSHEETPAGE Record(const std::shared_ptr<IMediaRenderer>& owner);

    CUPnPPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;

private:
    const std::shared_ptr<IMediaRenderer> renderer_;
    QObject connections_;
};

} // namespace velk
