// "Status": what the renderer is playing (artist, album, track, elapsed time and duration),
// read from the renderer's state every 750 ms on the GUI thread. GUI thread only.
#pragma once

#include <memory>

#include <QTimer>

#include "renderfold/media_renderer.h"
#include "ui/rendered_property_page.h"

class QLabel;

namespace velk {

class CStatusPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 104;
    static constexpr int kRefreshMs = 750;

    static HPROPSHEETPAGE Record(const std::shared_ptr<CMediaRenderer>& owner);

    CStatusPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;

private:
    void Refresh();

    const std::shared_ptr<CMediaRenderer> renderer_;
    QLabel* artist_;
    QLabel* album_;
    QLabel* track_;
    QLabel* elapsed_;
    QLabel* duration_;
    QTimer timer_;
};

} // namespace velk
