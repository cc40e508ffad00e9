#pragma once
// The Windows renderer: the toolkit's drawing services on GDI+, anti-aliased, with fonts loaded
// from memory into a private font collection and PNG bitmaps decoded by GDI+.
//
// It draws into 32-bit premultiplied ARGB pixels (alpha in the top byte, as a top-down DIB
// section holds them): an offscreen image it owns (for tests, snapshots and the window's back
// buffer) or a caller's buffer. GDI+ is started by the first renderer or bitmap and shut down
// after the last one is gone. UI thread only; one renderer per graphics context.
// No Windows header is needed to use it.

#include "framework/IGraphicsRenderer.h"

#include <memory>

namespace igraphics {

class GdiPlusRenderer final : public IGraphicsRenderer
{
public:
    GdiPlusRenderer();
    ~GdiPlusRenderer() override;
    GdiPlusRenderer(const GdiPlusRenderer&) = delete;
    GdiPlusRenderer& operator=(const GdiPlusRenderer&) = delete;

    // --- Targets (each replaces the previous one and ends an open frame) -------------------
    // An owned image of the given size in pixels, cleared to transparent.
    bool CreateOffscreen(int pixelWidth, int pixelHeight);
    // The caller's memory (premultiplied ARGB, top row first), which must stay valid while it is
    // the target. stride in bytes, a multiple of 4 of at least 4 * pixelWidth.
    bool SetTargetBuffer(unsigned char* argbPixels, int pixelWidth, int pixelHeight, int stride);
    void ReleaseTarget();

    int TargetWidth() const;  // pixels, 0 without a target
    int TargetHeight() const; // pixels
    // The target's first row (premultiplied ARGB) and the distance between rows in bytes, for
    // copying the finished frame to a window; null without a target.
    const unsigned char* TargetPixels() const;
    int TargetStride() const;
    // Fills the whole target with one colour (outside the frame's clip and scale).
    void ClearTargetTo(const IColor& color);
    // The target pixel at (x, y) as un-premultiplied (alpha, red, green, blue); transparent
    // outside the image or without a target. Reads what finished frames left.
    IColor ReadPixel(int x, int y) const;
    bool WritePng(const char* path) const; // UTF-8 path

    // --- IGraphicsRenderer -----------------------------------------------------------------
    bool BeginFrame(float scale) override;
    void EndFrame() override;
    void PushClip(const IRECT& rect) override;
    void PopClip() override;

    void FillRect(const IColor& color, const IRECT& rect, const IBlend* blend = nullptr) override;
    void FillRoundRect(const IColor& color, const IRECT& rect, float cornerRadius,
                       const IBlend* blend = nullptr) override;
    void FillCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend = nullptr) override;

    void DrawRect(const IColor& color, const IRECT& rect, const IBlend* blend = nullptr,
                  float thickness = 1.f) override;
    void DrawRoundRect(const IColor& color, const IRECT& rect, float cornerRadius, const IBlend* blend = nullptr,
                       float thickness = 1.f) override;
    void DrawCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend = nullptr,
                    float thickness = 1.f) override;
    void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                  float thickness = 1.f) override;

    void PathClear() override;
    void PathMoveTo(float x, float y) override;
    void PathLineTo(float x, float y) override;
    void PathClose() override;
    void PathFill(const IColor& color, const IBlend* blend = nullptr) override;
    void PathStroke(const IColor& color, float thickness, bool keepPath = false,
                    const IBlend* blend = nullptr) override;

    void DrawText(const IText& style, const char* str, const IRECT& rect, const IBlend* blend = nullptr) override;
    IRECT MeasureText(const IText& style, const char* str, const IRECT& rect = IRECT()) const override;

    void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& rect, const IBlend* blend = nullptr) override;

    bool LoadFont(const char* fontId, const void* data, std::size_t size) override;
    bool HasFont(const char* fontId) const override;
    IBitmap LoadBitmap(const void* data, std::size_t size, float scale = 1.f) override;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

} // namespace igraphics
