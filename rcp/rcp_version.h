// The player's firmware version as the session read it when it connected. Made on request by
// the session; lives in its apartment and keeps it alive.
#pragma once

#include "rcp/rcp_collection.h"

namespace velk {

class CRCPVersion final : public DispatchImpl<CRCPVersion, IRCPVersion> {
public:
    static const Dispatcher<CRCPVersion>& Dispatch();

    explicit CRCPVersion(SessionPtr session) : session_(std::move(session)) {}

    // "<major>.<minor>.<build>".
    HRESULT get_Text(std::string& text) override;
    HRESULT get_Major(std::int32_t& major) override;
    HRESULT get_Minor(std::int32_t& minor) override;
    HRESULT get_Build(std::int32_t& build) override;

private:
    const SessionPtr session_;
};

} // namespace velk
