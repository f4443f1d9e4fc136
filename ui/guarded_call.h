// Runs code of a derived page or dialog where the hosts call it: an exception it throws is
// logged and reported as false, so that none reaches Qt's event loop.
#pragma once

#include <exception>

#include <QtGlobal>

namespace velk {

// `subject` and `what` name the failing code in the log line ("page \"Mail\"", "OnApply").
template <class Fn> bool GuardedCall(const char* subject, const char* what, Fn&& fn)
{
    try {
        fn();
        return true;
    } catch (const std::exception& e) {
        qWarning("velk: %s failed in %s: %s", subject, what, e.what());
    } catch (...) {
        qWarning("velk: %s failed in %s", subject, what);
    }
    return false;
}

} // namespace velk
