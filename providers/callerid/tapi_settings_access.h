// What the caller-ID provider's pages edit: its settings, and where its address book lives.
// The pages live in the companion module and reach the provider through this interface; the
// configuration side then saves the provider's object state. GUI thread of the process that
// shows the pages.
#pragma once

#include <string>

#include "providers/callerid/tapi_settings.h"

namespace velk {

class ITapiSettings {
public:
    virtual ~ITapiSettings() = default;
    virtual TapiSettings Settings() const = 0;
    virtual void SetSettings(const TapiSettings& settings) = 0;
    virtual std::string AddressBookPath() const = 0;
};

} // namespace velk
