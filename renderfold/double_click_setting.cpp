#include "renderfold/double_click_setting.h"

#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Velk\\Settings";
constexpr const char* kDoubleClick = "DoubleClick";

} // namespace

bool DoubleClickOpensWebPage()
{
    RegKey key;
    DWORD value = 0;
    return SUCCEEDED(key.Open(Hive::CurrentUser, kSettingsKey)) &&
           SUCCEEDED(key.QueryDWORDValue(kDoubleClick, value)) && value != 0;
}

HRESULT SetDoubleClickOpensWebPage(bool web_page)
{
    RegKey key;
    const HRESULT hr = key.Create(Hive::CurrentUser, kSettingsKey);
    if (FAILED(hr))
        return hr;
    return key.SetDWORDValue(kDoubleClick, web_page ? 1 : 0);
}

} // namespace velk
