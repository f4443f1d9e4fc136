#include "rcp/rcp_version.h"

#include "rcp/rcp_session.h"

namespace velk {

const Dispatcher<CRCPVersion>& CRCPVersion::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CRCPVersion>("IRCPVersion")
                                       .Get("Text", 1, &CRCPVersion::get_Text)
                                       .Get("Major", 2, &CRCPVersion::get_Major)
                                       .Get("Minor", 3, &CRCPVersion::get_Minor)
                                       .Get("Build", 4, &CRCPVersion::get_Build)
                                       .Build();
    return dispatcher;
}

HRESULT CRCPVersion::get_Text(std::string& text)
{
    const FirmwareVersion version = session_->firmware_version();
    text = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.build);
    return S_OK;
}

HRESULT CRCPVersion::get_Major(std::int32_t& major)
{
    major = session_->firmware_version().major;
    return S_OK;
}

HRESULT CRCPVersion::get_Minor(std::int32_t& minor)
{
    minor = session_->firmware_version().minor;
    return S_OK;
}

HRESULT CRCPVersion::get_Build(std::int32_t& build)
{
    build = session_->firmware_version().build;
    return S_OK;
}

} // namespace velk
