#include "automation/picture.h"

namespace velk {

const Dispatcher<CPicture>& CPicture::Dispatch()
{
    static const auto dispatcher = DispatchBuilder<CPicture>("IPicture")
                                       .Get("Width", 1, &CPicture::get_Width)
                                       .Get("Height", 2, &CPicture::get_Height)
                                       .Build();
    return dispatcher;
}

HRESULT CPicture::Load(const std::filesystem::path& path, std::shared_ptr<IPicture>& picture)
{
    Bitmap bitmap;
    HRESULT hr = Bitmap::LoadBmpFile(path, bitmap);
    if (FAILED(hr))
        return hr;
    picture = std::make_shared<CPicture>(std::move(bitmap));
    return S_OK;
}

HRESULT CPicture::get_Width(std::int32_t& width)
{
    width = bitmap_.width();
    return S_OK;
}

HRESULT CPicture::get_Height(std::int32_t& height)
{
    height = bitmap_.height();
    return S_OK;
}

HRESULT CPicture::GetBitmap(Bitmap& bitmap)
{
    bitmap = bitmap_;
    return S_OK;
}

} // namespace velk
