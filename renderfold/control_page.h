// "Control": the renderer's volume and its transport buttons (play, pause, stop, previous,
// next, shuffle, repeat), refreshed from the renderer's state every 250 ms; without media only
// the words "No Media Present" show. A drag of the volume sends only its last value. GUI thread
// only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include <QTimer>

#include "renderfold/media_renderer.h"
#include "ui/rendered_property_page.h"

class QLabel;
class QPushButton;
class QSlider;

namespace velk {

class CControlPage : public CRenderedPropertyPage {
public:
    static constexpr int kDialogId = 102;
    static constexpr int kRefreshMs = 250;

    static HPROPSHEETPAGE Record(const std::shared_ptr<CMediaRenderer>& owner);

    CControlPage(QWidget* window, IPropertySheet& sheet, const PropSheetPage& page);

    std::intptr_t OnInitDialog() override;
    std::intptr_t OnSetActive() override;

private:
    QPushButton* Button(const char* text, const char* name);
    // done for an action: a failure is told in a message box.
    CMediaRenderer::Done Report(std::string_view action);
    void VolumeMoved(int value);
    void SendVolume();
    void Refresh();

    const std::shared_ptr<CMediaRenderer> renderer_;
    QSlider* volume_;
    QLabel* volume_label_;
    QLabel* state_;
    std::vector<QWidget*> controls_; // hidden without media
    std::optional<std::uint32_t> pending_volume_; // the last value moved to, not yet sent
    QTimer timer_;
    QObject connections_;
};

} // namespace velk
