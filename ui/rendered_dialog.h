// The base of the system's dialogs: DoModal builds the QDialog, constructs the derived object on
// it, gives it OnInitDialog with the caller's parameter and runs the dialog; Create does the same
// and shows the dialog modeless. Either way the object lives exactly as long as the dialog. GUI
// thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include <QMetaObject>

class QDialog;
class QWidget;

namespace velk {

constexpr std::intptr_t IDOK = 1;
constexpr std::intptr_t IDCANCEL = 2;

class CRenderedDialog {
public:
    explicit CRenderedDialog(QDialog* window);
    virtual ~CRenderedDialog();
    CRenderedDialog(const CRenderedDialog&) = delete;
    CRenderedDialog& operator=(const CRenderedDialog&) = delete;

    // Called just before the object is deleted.
    virtual void OnDestroy() {}
    // Called once before the dialog shows; derived dialogs fill their controls here.
    virtual std::intptr_t OnInitDialog(std::intptr_t lParam);

    // Ends the dialog: DoModal returns `result`. Also from OnInitDialog, and then the dialog
    // never shows.
    void EndDialog(std::intptr_t result);

    QDialog* window() const { return window_; }
    std::intptr_t init_parameter() const { return init_parameter_; }

    using Factory = std::function<std::unique_ptr<CRenderedDialog>(QDialog* window)>;

    // Builds the dialog (a child of `parent`) and the object on it, runs the dialog modally,
    // then calls OnDestroy and deletes the object, then the dialog. Returns EndDialog's
    // result; IDCANCEL for Esc or the window's close (IDOK when the dialog was accepted
    // without EndDialog); -1 when the object could not be built or initialised.
    static std::intptr_t DoModal(QWidget* parent, std::intptr_t lParam, const Factory& make);

    // The same for `Dialog(window, args...)`.
    template <class Dialog, class... Args>
    static std::intptr_t DoModal(QWidget* parent, std::intptr_t lParam, Args&&... args)
    {
        return DoModal(parent, lParam, [&](QDialog* window) {
            return std::make_unique<Dialog>(window, std::forward<Args>(args)...);
        });
    }

    // Builds the dialog and the object the same way, shows the dialog modeless and returns the
    // object at once; null when it could not be built or initialised, or ended in
    // OnInitDialog. When the dialog ends (EndDialog, Esc, its close) or its parent goes,
    // OnDestroy runs and the object is deleted, then the dialog: hold the object only as long
    // as a QPointer on its window() says it is there.
    static CRenderedDialog* Create(QWidget* parent, std::intptr_t lParam, const Factory& make);

    template <class Dialog, class... Args>
    static Dialog* Create(QWidget* parent, std::intptr_t lParam, Args&&... args)
    {
        return static_cast<Dialog*>(Create(parent, lParam, [&](QDialog* window) {
            return std::make_unique<Dialog>(window, std::forward<Args>(args)...);
        }));
    }

private:
    QDialog* window_;
    QMetaObject::Connection finished_;
    std::intptr_t init_parameter_ = 0;
    std::intptr_t result_ = IDCANCEL;
    bool ended_ = false;
};

} // namespace velk
