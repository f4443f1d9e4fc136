// A wizard: one page at a time with Back, Next, Finish and Cancel, a header above the page
// (its header title and subtitle), or the watermark picture at its side for pages that hide
// the header. The caption is the current page's title. Modal; Run returns 1 when the wizard
// finished, 0 when it was cancelled. GUI thread only.
#pragma once

#include <QPixmap>

#include "ui/sheet_host.h"

class QLabel;
class QPushButton;

namespace velk {

class Wizard : public SheetHost {
    Q_OBJECT

public:
    explicit Wizard(QWidget* parent = nullptr);
    ~Wizard() override;

    // Shown beside the pages that hide the header (welcome and completion pages).
    void SetWatermark(const QPixmap& picture);

    int Run();

    // No Apply here: the pages act on Finish.
    void Changed(CRenderedPropertyPage& /*page*/) override {}
    void Unchanged(CRenderedPropertyPage& /*page*/) override {}
    void SetWizButtons(unsigned flags) override;

    // Callers of accept(): what Finish does.
    void accept() override;

protected:
    QAbstractButton* Button(int button) const override;
    void PreparePage(int index) override;
    void PageShown(int index) override;

private:
    // Sends `code` (PSN_WIZNEXT or PSN_WIZBACK) and goes where the page's answer says, by
    // `step` from the current page when it says "go on".
    void Travel(int code, int step);

    QWidget* header_;
    QLabel* header_title_;
    QLabel* header_subtitle_;
    QLabel* watermark_;
    QPushButton* back_;
    QPushButton* next_;
    QPushButton* finish_;
    QPushButton* cancel_;
};

} // namespace velk
