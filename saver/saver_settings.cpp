#include "saver/saver_settings.h"

#include "platform/reg_key.h"

namespace velk {

namespace {

constexpr const char* kServer = "Server";
constexpr const char* kDeviceUDN = "DeviceUDN";

QString Limited(const RegKey& key, const char* name, int max_chars)
{
    std::string value;
    if (FAILED(key.QueryStringValue(name, value)))
        return QString();
    const QString text = QString::fromStdString(value);
    return text.size() <= max_chars ? text : QString();
}

HRESULT Store(RegKey& key, const char* name, const QString& value, int max_chars)
{
    if (value.isEmpty() || value.size() > max_chars) {
        const HRESULT hr = key.DeleteValue(name);
        return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
    }
    return key.SetStringValue(name, value.toStdString());
}

} // namespace

SaverSettings SaverSettings::Load()
{
    RegKey key;
    if (FAILED(key.Open(Hive::CurrentUser, kKey)))
        return {};
    return {Limited(key, kServer, kMaxServerChars), Limited(key, kDeviceUDN, kMaxDeviceUDNChars)};
}

HRESULT SaverSettings::Save() const
{
    RegKey key;
    HRESULT hr = key.Create(Hive::CurrentUser, kKey);
    if (SUCCEEDED(hr))
        hr = Store(key, kDeviceUDN, udn, kMaxDeviceUDNChars);
    if (SUCCEEDED(hr))
        hr = Store(key, kServer, server, kMaxServerChars);
    return hr;
}

QString ServiceServer(const QString& server, const QString& this_computer)
{
    return server.compare(this_computer, Qt::CaseInsensitive) == 0 ? QString() : server;
}

} // namespace velk
