// A property sheet: the pages as tabs, with OK, Cancel and Apply. Modal; Run returns 1 when an
// apply succeeded during the sheet's life, 0 otherwise. GUI thread only.
#pragma once

#include <set>

#include "ui/sheet_host.h"

class QPushButton;
class QTabBar;

namespace velk {

class PropertySheet : public SheetHost {
    Q_OBJECT

public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr);
    ~PropertySheet() override;

    int Run();

    void Changed(CRenderedPropertyPage& page) override;
    void Unchanged(CRenderedPropertyPage& page) override;
    void CancelToClose() override;
    void SetWizButtons(unsigned /*flags*/) override {}

    // Enter and callers of accept(): what OK does.
    void accept() override;

protected:
    QAbstractButton* Button(int button) const override;
    void PageAdded(int index) override;
    void PageRemoved(int index) override;
    void PageShown(int index) override;

private:
    // PSN_KILLACTIVE to the current page, then PSN_APPLY to every built page; true when all
    // took it. A page that refuses becomes the current one.
    bool ApplyAll();
    void SelectTab(int index);

    QTabBar* tabs_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* apply_;
    std::set<int> changed_; // pages with changes not yet applied
    bool applied_ = false;
};

} // namespace velk
