// The screen saver's settings, per user: HKCU "SOFTWARE\Velk\ScreenSave", "Server" (the
// computer that runs the service, kept whole; absent or empty: this one) and "DeviceUDN" (the
// player shown). A value that is not a string or is longer than its limit counts as empty.
#pragma once

#include <QString>

#include "platform/hresult.h"

namespace velk {

struct SaverSettings {
    static constexpr const char* kKey = "SOFTWARE\\Velk\\ScreenSave";
    // A host name (at most 253 characters) and ":port".
    static constexpr int kMaxServerChars = 259;
    // As the player's own limit: 55 bytes with the terminating zero.
    static constexpr int kMaxDeviceUDNChars = 54;

    QString server;
    QString udn;

    // Empty settings when there are none.
    static SaverSettings Load();
    // Creates the key when missing; an empty value (or one beyond its limit) is removed.
    HRESULT Save() const;
};

// The server to connect to: empty (this computer) when `server` names this computer, in any
// case; otherwise `server` as it is.
QString ServiceServer(const QString& server, const QString& this_computer);

} // namespace velk
