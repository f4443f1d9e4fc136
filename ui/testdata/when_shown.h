// Test support for modal dialogs: acts on the next modal window of a type once it shows (the
// caller then opens it, and the action runs inside the dialog's own event loop).
#pragma once

#include <functional>

#include <QApplication>
#include <QTimer>

namespace velk::test {

template <class T> void WhenShown(std::function<void(T&)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        action(*modal);
    });
    timer->start();
}

} // namespace velk::test
