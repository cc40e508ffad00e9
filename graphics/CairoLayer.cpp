// The cairo renderer's layers: an image surface at the frame's scale, covering whole pixels of the
// target, drawn with the target's own transform moved by those whole pixels, so every shape and
// glyph lands on the same pixel grid and gets the same coverage as on the target. UI thread.
//
// Put over the target, a layer gives the pixels its drawing gives there directly when its pixels
// are all opaque (they replace the target's), or when it holds one fill or stroke: each pixel of
// it is then the colour times the coverage, and over the target that is the very sum the direct
// fill or stroke makes.
#include "graphics/CairoRenderer.h"
#include "graphics/DrawChecks.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace igraphics {

namespace {

class CairoLayer final : public ILayer
{
public:
    CairoLayer(int px, int py, int w, int h, float sc) : x(px), y(py), width(w), height(h), scale(sc) {}
    ~CairoLayer() override { cairo_surface_destroy(surface); }
    CairoLayer(const CairoLayer&) = delete;
    CairoLayer& operator=(const CairoLayer&) = delete;

    cairo_surface_t* surface = nullptr;
    int x, y; // where its top left pixel sits on the target
    int width, height;
    float scale;
    bool opaque = false;
    bool oneDrawing = false; // one fill or stroke
};

// A whole pixel: exactly, or as near as cairo's fixed point (1/256 pixel) can tell.
bool WholePixel(double v, long& out)
{
    const double r = std::round(v);
    if (!std::isfinite(v) || std::fabs(v - r) > 1e-3 || std::fabs(r) > 1e6)
        return false;
    out = static_cast<long>(r);
    return true;
}

bool AllOpaque(cairo_surface_t* s)
{
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int row = 0; row < cairo_image_surface_get_height(s); ++row)
        for (int col = 0; col < cairo_image_surface_get_width(s); ++col)
        {
            std::uint32_t px = 0;
            std::memcpy(&px, data + row * stride + 4 * col, 4);
            if ((px >> 24) != 0xff)
                return false;
        }
    return true;
}

} // namespace

bool CairoRenderer::StartLayer(const IRECT& rect)
{
    if (!mCr || mFrameCr || !draw::Drawable(rect))
        return false;
    const double s = mFrameScale;
    long left = 0, top = 0, right = 0, bottom = 0;
    if (!WholePixel(rect.left * s, left) || !WholePixel(rect.top * s, top) || !WholePixel(rect.right * s, right) ||
        !WholePixel(rect.bottom * s, bottom) || right <= left || bottom <= top)
        return false;
    // Made first, so that nothing is left behind when it cannot be.
    auto layer = std::make_unique<CairoLayer>(static_cast<int>(left), static_cast<int>(top),
                                              static_cast<int>(right - left), static_cast<int>(bottom - top),
                                              mFrameScale);
    layer->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layer->width, layer->height);
    cairo_t* cr = cairo_create(layer->surface);
    if (cairo_surface_status(layer->surface) != CAIRO_STATUS_SUCCESS || cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    {
        cairo_destroy(cr);
        return false;
    }
    // Marked as drawn on, so cairo composites onto it as onto the target rather than taking a
    // shortcut for a clear surface.
    cairo_surface_mark_dirty(layer->surface);
    cairo_translate(cr, -static_cast<double>(left), -static_cast<double>(top));
    cairo_scale(cr, s, s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_font_options(cr, mFontOptions);
    mLayer = std::move(layer);
    mFrameCr = mCr;
    mFrameClipDepth = mClipDepth;
    mCr = cr;
    mClipDepth = 0;
    mLayerDrawings = 0;
    return true;
}

ILayerPtr CairoRenderer::EndLayer()
{
    if (!mFrameCr)
        return nullptr;
    while (mClipDepth > 0)
        PopClip();
    cairo_destroy(mCr);
    mCr = mFrameCr;
    mClipDepth = mFrameClipDepth;
    mFrameCr = nullptr;
    auto* layer = static_cast<CairoLayer*>(mLayer.get());
    layer->opaque = AllOpaque(layer->surface);
    layer->oneDrawing = mLayerDrawings == 1;
    return std::move(mLayer);
}

// The frame's transform is its plain scale (a text's rotation is undone before any other call),
// so the clip's device pixels are its user rectangles times the scale. An opaque layer's pixels
// replace the target's, so any clip on whole pixels cuts them as it cuts direct drawing. A fill or
// stroke that the clip cuts is composited by cairo on another path, which rounds differently, so
// such a layer is shown only inside one clip rectangle.
bool CairoRenderer::ClipAllows(const ILayer& layer) const
{
    const auto& l = static_cast<const CairoLayer&>(layer);
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(mCr);
    const double s = mFrameScale;
    bool whole = list->status == CAIRO_STATUS_SUCCESS;
    bool inside = false;
    long left = 0, top = 0, right = 0, bottom = 0;
    for (int i = 0; whole && i < list->num_rectangles; ++i)
    {
        const cairo_rectangle_t& r = list->rectangles[i];
        whole = WholePixel(r.x * s, left) && WholePixel(r.y * s, top) && WholePixel((r.x + r.width) * s, right) &&
                WholePixel((r.y + r.height) * s, bottom);
        inside = inside || (whole && left <= l.x && top <= l.y && right >= l.x + l.width && bottom >= l.y + l.height);
    }
    cairo_rectangle_list_destroy(list);
    return whole && (l.opaque || inside);
}

bool CairoRenderer::DrawLayer(const ILayer& layer)
{
    const auto* l = dynamic_cast<const CairoLayer*>(&layer);
    if (!mCr || mFrameCr || !l || !(l->opaque || l->oneDrawing) || l->scale != mFrameScale || !ClipAllows(*l))
        return false;
    cairo_save(mCr);
    cairo_identity_matrix(mCr);
    cairo_set_source_surface(mCr, l->surface, l->x, l->y);
    cairo_paint(mCr);
    cairo_restore(mCr);
    return true;
}

} // namespace igraphics
