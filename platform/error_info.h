// The thread's error record: what a failed automation member leaves for its caller to read
// (description, source, help file, help context), one per thread.
#pragma once

#include <optional>
#include <string>

#include "platform/hresult.h"

namespace velk {

struct ErrorInfo {
    std::string description;
    std::string source;
    std::string help_file;
    DWORD help_context = 0;
};

constexpr const char* kErrorSource = "Velk";
constexpr const char* kErrorHelpFile = "Velk.chm";

// Replaces the thread's record.
void SetErrorInfo(ErrorInfo info);

// Takes the thread's record, leaving none behind.
std::optional<ErrorInfo> GetErrorInfo();

void ClearErrorInfo();

// Builds the record for a failed member: the message for the code, the code as help context,
// "Velk.chm" and source "Velk". Returns hr so that members can `return ReportError(hr);`.
HRESULT ReportError(HRESULT hr);

// ReportError for a failure; a success passes through untouched.
HRESULT ReportIfFailed(HRESULT hr);

// The same with a description of the caller's own.
HRESULT ReportError(HRESULT hr, std::string description);

} // namespace velk
