#pragma once
// The Linux renderer: the toolkit's drawing services on cairo, anti-aliased, with fonts loaded
// from memory through FreeType and PNG bitmaps decoded by cairo.
//
// It draws into a target that is one of: an offscreen image it owns (for tests, snapshots and
// the window's back buffer), a cairo image surface of the caller's, or a caller's raw buffer of
// premultiplied 32-bit ARGB pixels (native byte order, as X11 images of depth 24/32 use).
// UI thread only; one renderer per graphics context.

#include "framework/IGraphicsRenderer.h"

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

namespace igraphics {

class CairoRenderer final : public IGraphicsRenderer
{
public:
    CairoRenderer();
    ~CairoRenderer() override;
    CairoRenderer(const CairoRenderer&) = delete;
    CairoRenderer& operator=(const CairoRenderer&) = delete;

    // --- Targets (each replaces the previous one and ends an open frame) -------------------
    // An owned ARGB image of the given size in pixels, cleared to transparent (the owned image
    // already held when it has that size).
    bool CreateOffscreen(int pixelWidth, int pixelHeight);
    // The caller's surface (a reference is taken); any cairo surface works, an image surface is
    // needed for ReadPixel (ARGB32 or RGB24) and WritePng.
    bool SetTargetSurface(cairo_surface_t* surface);
    // The caller's memory, which must stay valid while it is the target. stride in bytes.
    bool SetTargetBuffer(unsigned char* argbPixels, int pixelWidth, int pixelHeight, int stride);
    void ReleaseTarget();

    cairo_surface_t* TargetSurface() const { return mTarget; }
    int TargetWidth() const;  // pixels, 0 without an image target
    int TargetHeight() const; // pixels
    // Fills the whole target with one colour (outside the frame's clip and scale).
    void ClearTargetTo(const IColor& color);
    // The target pixel at (x, y) as un-premultiplied (alpha, red, green, blue); transparent
    // outside the image or without an image target.
    IColor ReadPixel(int x, int y) const;
    bool WritePng(const char* path) const;

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

    // Layers are image surfaces of their own (CairoLayer.cpp).
    bool StartLayer(const IRECT& rect) override;
    ILayerPtr EndLayer() override;
    bool DrawLayer(const ILayer& layer) override;

    bool LoadFont(const char* fontId, const void* data, std::size_t size) override;
    bool HasFont(const char* fontId) const override;
    IBitmap LoadBitmap(const void* data, std::size_t size, float scale = 1.f) override;

private:
    struct FontSlot
    {
        std::string id;
        cairo_font_face_t* face = nullptr; // one reference held
    };
    struct TextLayout
    {
        IRECT box;          // the occupied rectangle
        float baseline = 0; // y of the baseline
    };

    const FontSlot* FindFont(const IText& style) const;
    bool LayoutText(const FontSlot& font, const IText& style, const char* str, const IRECT& rect,
                    TextLayout& out) const;
    void SetSource(const IColor& color, const IBlend* blend);
    void StrokeCurrent(const IColor& color, const IBlend* blend, float thickness);
    void FillCurrent(const IColor& color, const IBlend* blend);

    bool ClipAllows(const ILayer& layer) const;

    cairo_surface_t* mTarget = nullptr; // one reference held
    bool mOwnsTarget = false;           // made by CreateOffscreen, so it can be reused
    cairo_t* mCr = nullptr;             // only during a frame; draws into the layer while one is drawn
    int mClipDepth = 0;
    float mFrameScale = 1.f;
    cairo_t* mFrameCr = nullptr; // the frame's context while a layer is drawn
    int mFrameClipDepth = 0;
    ILayerPtr mLayer; // the layer being drawn
    int mLayerDrawings = 0;
    cairo_font_options_t* mFontOptions = nullptr;
    std::vector<FontSlot> mFonts;
};

} // namespace igraphics
