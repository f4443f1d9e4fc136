#include "ui/rendered_dialog.h"

#include <QDialog>
#include <QPointer>

#include "ui/guarded_call.h"

namespace velk {

namespace {

// Owns a modeless dialog's object as the dialog's first child: the dialog deletes it before
// the widgets the object made, so that OnDestroy still finds them.
class ModelessHolder : public QObject {
public:
    explicit ModelessHolder(QDialog* window) : QObject(window) {}
    ~ModelessHolder() override
    {
        if (dialog)
            GuardedCall("dialog", "OnDestroy", [this] { dialog->OnDestroy(); });
    }

    std::unique_ptr<CRenderedDialog> dialog;
};

} // namespace

CRenderedDialog::CRenderedDialog(QDialog* window) : window_(window)
{
    // A dialog closed by Qt itself (Esc, the window's close, accept()) ends like the matching
    // button would.
    finished_ = QObject::connect(window_, &QDialog::finished, [this](int result) {
        if (!ended_)
            result_ = result == QDialog::Accepted ? IDOK : IDCANCEL;
    });
}

CRenderedDialog::~CRenderedDialog()
{
    QObject::disconnect(finished_);
}

std::intptr_t CRenderedDialog::OnInitDialog(std::intptr_t lParam)
{
    init_parameter_ = lParam;
    return 1;
}

void CRenderedDialog::EndDialog(std::intptr_t result)
{
    result_ = result;
    ended_ = true;
    window_->done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

std::intptr_t CRenderedDialog::DoModal(QWidget* parent, std::intptr_t lParam, const Factory& make)
{
    QPointer<QDialog> window = new QDialog(parent);
    std::unique_ptr<CRenderedDialog> dialog;
    if (!GuardedCall("dialog", "construction", [&] { dialog = make(window); }) || !dialog) {
        delete window.data();
        return -1;
    }
    std::intptr_t result = -1;
    if (GuardedCall("dialog", "OnInitDialog", [&] { dialog->OnInitDialog(lParam); })) {
        if (!dialog->ended_)
            window->exec();
        result = dialog->result_;
    }
    GuardedCall("dialog", "OnDestroy", [&] { dialog->OnDestroy(); });
    dialog.reset();
    delete window.data();
    return result;
}

CRenderedDialog* CRenderedDialog::Create(QWidget* parent, std::intptr_t lParam, const Factory& make)
{
    auto* window = new QDialog(parent);
    auto* holder = new ModelessHolder(window);
    if (!GuardedCall("dialog", "construction", [&] { holder->dialog = make(window); }) ||
        !holder->dialog) {
        delete window;
        return nullptr;
    }
    CRenderedDialog* dialog = holder->dialog.get();
    if (!GuardedCall("dialog", "OnInitDialog", [&] { dialog->OnInitDialog(lParam); }) ||
        dialog->ended_) {
        delete window;
        return nullptr;
    }
    QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
    window->show();
    return dialog;
}

} // namespace velk
