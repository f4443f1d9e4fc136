// A picture as scripts hand it to the system (`LoadPicture("logo.bmp")`): a bitmap held in
// memory for the members that draw it. A value object: made on any thread, never changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "automation/dispatch.h"
#include "platform/bitmap.h"

namespace velk {

class IPicture : public IDispatchable {
public:
    virtual HRESULT get_Width(std::int32_t& width) = 0;
    virtual HRESULT get_Height(std::int32_t& height) = 0;
    // The pixels, for the code that draws the picture (not an automation member).
    virtual HRESULT GetBitmap(Bitmap& bitmap) = 0;
};

class CPicture : public DispatchImpl<CPicture, IPicture> {
public:
    static const Dispatcher<CPicture>& Dispatch();

    explicit CPicture(Bitmap bitmap) : bitmap_(std::move(bitmap)) {}

    // Reads a BMP file; the failures of Bitmap::LoadBmpFile.
    static HRESULT Load(const std::filesystem::path& path, std::shared_ptr<IPicture>& picture);

    HRESULT get_Width(std::int32_t& width) override;
    HRESULT get_Height(std::int32_t& height) override;
    HRESULT GetBitmap(Bitmap& bitmap) override;

private:
    const Bitmap bitmap_;
};

} // namespace velk
