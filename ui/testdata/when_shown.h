// For the pages' tests: runs an action on the next modal window of a type once it shows (the
// caller then opens it), as a user answers a dialog or a question.
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
