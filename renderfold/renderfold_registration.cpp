#include "renderfold/renderfold_registration.h"

#include <array>
#include <string>

#include "platform/reg_key.h"
#include "renderfold/media_renderer_property_sheet_ext.h"
#include "velk/media_renderer.h"

namespace velk {

namespace {

constexpr const char* kPropertySheetHandlersKey = "shellex\\PropertySheetHandlers";
constexpr const char* kCommonPagesName = "Common Property Pages";

// The properties each view of a renderer shows.
constexpr std::array<std::pair<const char*, const char*>, 7> kViewValues = {{
    {"PreviewDetails",
     "prop:MediaRenderer.Status;*System.Music.AlbumArtist;*System.Music.AlbumTitle;"
     "*MediaRenderer.CurrentTrackName;MediaRenderer.PlayMode"},
    {"PreviewTitle", "prop:System.ItemNameDisplay;MediaRenderer.ModelName"},
    {"TileInfo", "prop:MediaRenderer.ModelName;*MediaRenderer.CurrentTrackName"},
    {"InfoTip", "prop:MediaRenderer.ModelName;*System.Music.AlbumArtist;*MediaRenderer.CurrentTrackName"},
    {"QuickTip", "prop:MediaRenderer.ModelName;*MediaRenderer.CurrentTrackName"},
    {"ExtendedTileInfo", "prop:MediaRenderer.ModelName"},
    {"FullDetails",
     "prop:MediaRenderer.DeviceGroup;System.ItemNameDisplay;MediaRenderer.ManufacturerName;"
     "MediaRenderer.ModelDescription;MediaRenderer.ModelName;MediaRenderer.ModelNumber;"
     "MediaRenderer.Status;*MediaRenderer.MusicGroup;*System.Music.AlbumArtist;*System.Music.AlbumTitle;"
     "*MediaRenderer.CurrentTrackName;*System.Media.Duration;*MediaRenderer.PlayMode"},
}};

std::string CommonPagesKey()
{
    return std::string(kMediaRendererClass) + "\\" + kPropertySheetHandlersKey + "\\" +
           CLSID_MediaRendererPropertySheetExt.ToString();
}

// Removes the key and then each parent while it has no subkeys left.
void DeleteEmptyKeys(std::string path)
{
    while (!path.empty()) {
        RegKey root;
        if (FAILED(root.Open(Hive::ClassesRoot, "", RegAccess::All)) || FAILED(root.DeleteSubKey(path)))
            return;
        path.resize(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\'));
    }
}

} // namespace

std::span<const ModuleClass> RenderfoldClasses()
{
    static const ModuleClass classes[] = {
        {{CLSID_MediaRendererPropertySheetExt, "Media Renderer Property Page", "", ""},
         []() -> UnknownPtr {
             return std::static_pointer_cast<IShellExtInit>(std::make_shared<CMediaRendererPropertySheetExt>());
         }},
    };
    return classes;
}

HRESULT RegisterRenderfold()
{
    HRESULT hr = ModuleRegisterServer(RenderfoldClasses(), reinterpret_cast<const void*>(&RegisterRenderfold));
    if (FAILED(hr))
        return hr;
    RegKey renderers;
    hr = renderers.Create(Hive::ClassesRoot, kMediaRendererClass);
    for (const auto& [name, value] : kViewValues) {
        if (SUCCEEDED(hr))
            hr = renderers.SetStringValue(name, value);
    }
    RegKey pages;
    if (SUCCEEDED(hr))
        hr = pages.Create(Hive::ClassesRoot, CommonPagesKey());
    if (SUCCEEDED(hr))
        hr = pages.SetStringValue("", kCommonPagesName);
    return hr;
}

HRESULT UnregisterRenderfold()
{
    const HRESULT hr = ModuleUnregisterServer(RenderfoldClasses());
    RegKey renderers;
    if (SUCCEEDED(renderers.Open(Hive::ClassesRoot, kMediaRendererClass, RegAccess::All))) {
        for (const auto& [name, value] : kViewValues)
            renderers.DeleteValue(name);
        renderers.Close();
    }
    // The keys up to MediaRenderer go while nothing else is under them.
    DeleteEmptyKeys(CommonPagesKey());
    return hr;
}

} // namespace velk
