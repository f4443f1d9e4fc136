#include "platform/error_info.h"

namespace velk {

namespace {
thread_local std::optional<ErrorInfo> t_error_info;
}

void SetErrorInfo(ErrorInfo info) { t_error_info = std::move(info); }

std::optional<ErrorInfo> GetErrorInfo()
{
    auto info = std::move(t_error_info);
    t_error_info.reset();
    return info;
}

void ClearErrorInfo() { t_error_info.reset(); }

HRESULT ReportError(HRESULT hr) { return ReportError(hr, HResultMessage(hr)); }

HRESULT ReportIfFailed(HRESULT hr) { return FAILED(hr) ? ReportError(hr) : hr; }

HRESULT ReportError(HRESULT hr, std::string description)
{
    SetErrorInfo({std::move(description), kErrorSource, kErrorHelpFile, static_cast<DWORD>(hr)});
    return hr;
}

} // namespace velk
