// Where velksaver draws, from its command line as an xscreensaver hack takes it: into the
// window that --window-id names, into $XSCREENSAVER_WINDOW with --root (without that
// variable, a full-screen window of its own), --config for the settings dialog, and a
// full-screen window of its own without any of these. Pure values.
#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

#include "platform/hresult.h"

namespace velk {

struct SaverTarget {
    enum class Kind { FullScreen, Window, Configure };
    Kind kind = Kind::FullScreen;
    std::uint64_t window = 0; // the X window id, for Kind::Window
};

// `args` without the program name; `env_window`: $XSCREENSAVER_WINDOW (empty when unset).
// E_INVALIDARG, with the reason in `error`, for an unknown option or a window id that is no
// number (decimal, or hexadecimal after 0x).
HRESULT ParseSaverTarget(const QStringList& args, const QString& env_window, SaverTarget& target,
                         QString& error);

} // namespace velk
