#pragma once
// A loaded bitmap: a shared handle to the renderer's own pixels plus the size in pixels.
// Copies share the pixels; the pixels live as long as any copy. A default-constructed
// bitmap is the "not loaded" bitmap: width and height 0, and nothing is drawn for it.

#include <memory>

namespace igraphics {

// Renderer-specific pixel storage (a cairo image surface, a GDI+ bitmap ...).
class APIBitmap
{
public:
    virtual ~APIBitmap() = default;
};

class IBitmap
{
public:
    IBitmap() = default;
    IBitmap(std::shared_ptr<const APIBitmap> pixels, int width, int height, float scale)
        : mPixels(std::move(pixels)), mWidth(width), mHeight(height), mScale(scale)
    {}

    int W() const { return mWidth; }          // pixels
    int H() const { return mHeight; }         // pixels
    float GetScale() const { return mScale; } // resolution the image was drawn for (1 = editor pixels)
    bool IsValid() const { return mPixels != nullptr && mWidth > 0 && mHeight > 0; }
    const APIBitmap* GetAPIBitmap() const { return mPixels.get(); }

private:
    std::shared_ptr<const APIBitmap> mPixels;
    int mWidth = 0;
    int mHeight = 0;
    float mScale = 1.f;
};

} // namespace igraphics
