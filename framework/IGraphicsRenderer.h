#pragma once
// The drawing services the graphics context and its controls use, independent of any platform
// library. A renderer (cairo on Linux, GDI+ on Windows) implements them with anti-aliased
// output; the context owns one renderer and forwards its controls' drawing to it.
//
// Coordinates are editor coordinates; BeginFrame's scale maps them to target pixels.
// Every drawing call takes an optional blend whose weight multiplies the colour's alpha.
// Drawing outside BeginFrame/EndFrame does nothing. Everything here runs on the UI thread.

#include "framework/IBitmap.h"
#include "framework/IBlend.h"
#include "framework/IColor.h"
#include "framework/IRECT.h"
#include "framework/IText.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace igraphics {

// A picture a control draws once and shows in many frames (its unchanging parts): made by a
// renderer's StartLayer/EndLayer, owned by the control. UI thread.
class ILayer
{
public:
    virtual ~ILayer() = default;
};
using ILayerPtr = std::unique_ptr<ILayer>;

class IGraphicsRenderer
{
public:
    virtual ~IGraphicsRenderer() = default;

    // --- Frame -----------------------------------------------------------------------------
    // Starts a frame on the renderer's current target; returns false (and draws nothing until the
    // next BeginFrame) when there is no target. The path is empty at the start of every frame.
    virtual bool BeginFrame(float scale) = 0;
    // Finishes the frame: pending drawing reaches the target's pixels.
    virtual void EndFrame() = 0;

    // Restricts drawing to a rectangle (intersected with any enclosing clip) until PopClip.
    virtual void PushClip(const IRECT& rect) = 0;
    virtual void PopClip() = 0;

    // --- Fills -----------------------------------------------------------------------------
    virtual void FillRect(const IColor& color, const IRECT& rect, const IBlend* blend = nullptr) = 0;
    virtual void FillRoundRect(const IColor& color, const IRECT& rect, float cornerRadius,
                               const IBlend* blend = nullptr) = 0;
    virtual void FillCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend = nullptr) = 0;

    // --- Strokes (the line is centred on the geometry) -------------------------------------
    virtual void DrawRect(const IColor& color, const IRECT& rect, const IBlend* blend = nullptr,
                          float thickness = 1.f) = 0;
    virtual void DrawRoundRect(const IColor& color, const IRECT& rect, float cornerRadius,
                               const IBlend* blend = nullptr, float thickness = 1.f) = 0;
    virtual void DrawCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend = nullptr,
                            float thickness = 1.f) = 0;
    virtual void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                          float thickness = 1.f) = 0;

    // --- Paths -----------------------------------------------------------------------------
    virtual void PathClear() = 0;
    virtual void PathMoveTo(float x, float y) = 0; // starts a new sub-path
    virtual void PathLineTo(float x, float y) = 0; // from the last point; acts as move-to on an empty path
    virtual void PathClose() = 0;
    // Fills the path (non-zero winding) and clears it.
    virtual void PathFill(const IColor& color, const IBlend* blend = nullptr) = 0;
    // Strokes the path; clears it unless keepPath is set.
    virtual void PathStroke(const IColor& color, float thickness, bool keepPath = false,
                            const IBlend* blend = nullptr) = 0;

    // --- Text ------------------------------------------------------------------------------
    // Draws UTF-8 text in rect, placed by the style's alignments; nothing when the style's font
    // was never loaded. Text is not wrapped or clipped to the rectangle.
    virtual void DrawText(const IText& style, const char* str, const IRECT& rect, const IBlend* blend = nullptr) = 0;
    // The rectangle the text would occupy when drawn in rect: its advance width and the font's
    // line height (ascent + descent), placed by the alignments. Works outside a frame, too.
    // An unknown font or empty text gives zero width at the alignment point.
    virtual IRECT MeasureText(const IText& style, const char* str, const IRECT& rect = IRECT()) const = 0;

    // --- Bitmaps ---------------------------------------------------------------------------
    // Draws the whole bitmap scaled to fill rect (independent horizontal and vertical scale).
    virtual void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& rect, const IBlend* blend = nullptr) = 0;

    // --- Layers ----------------------------------------------------------------------------
    // Renderers that keep no layers leave these as they are; a control then draws directly.
    // Inside a frame: the drawing calls up to EndLayer go into a new, transparent, unclipped layer
    // covering rect at the frame's scale instead of the target (what falls outside rect is lost).
    // False when no layer is made (also when rect does not lie on whole pixels at this scale);
    // drawing then stays on the target.
    virtual bool StartLayer(const IRECT& rect)
    {
        (void)rect;
        return false;
    }
    // Ends what StartLayer began and hands the layer over; null when no layer was being drawn.
    virtual ILayerPtr EndLayer() { return nullptr; }
    // Inside a frame: puts the layer's pixels over the target where they were drawn, but only
    // when that gives the very pixels drawing its content directly would give: a layer of this
    // renderer, made at this frame's scale, with the clip on whole pixels, and either wholly opaque
    // or holding a single fill or stroke that the clip leaves whole.
    // Otherwise it draws nothing and returns false, and the control draws directly.
    virtual bool DrawLayer(const ILayer& layer)
    {
        (void)layer;
        return false;
    }

    // --- Resources -------------------------------------------------------------------------
    // Loads a TrueType/OpenType font from memory under fontId (the bytes are copied). Loading
    // the same id again keeps the first font and succeeds.
    virtual bool LoadFont(const char* fontId, const void* data, std::size_t size) = 0;
    virtual bool HasFont(const char* fontId) const = 0;
    // Decodes a PNG from memory; an invalid bitmap (W() == H() == 0) when it cannot be decoded.
    virtual IBitmap LoadBitmap(const void* data, std::size_t size, float scale = 1.f) = 0;
};

} // namespace igraphics
