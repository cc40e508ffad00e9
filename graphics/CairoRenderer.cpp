#include "graphics/CairoRenderer.h"
#include "graphics/DrawChecks.h"

#include <cairo-ft.h>
#include <dlfcn.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>

namespace igraphics {

namespace {

constexpr double kPi = 3.14159265358979323846;

using draw::Drawable;
using draw::Finite;

// One FreeType library for the process. cairo keeps recently used font faces alive in its
// own caches after we let go of them, so a face may be finished after its renderer is gone:
// the library must outlive every renderer and is therefore never closed.
// Constant-initialised with nothing to destroy, so faces finished at exit can still take it.
constinit std::mutex freeTypeMutex;
std::mutex& FreeTypeMutex() { return freeTypeMutex; }

FT_Library FreeTypeLibrary()
{
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return library;
}

// The font bytes and FreeType face behind one cairo font face; freed when cairo drops the face.
struct FaceHolder
{
    std::vector<unsigned char> bytes;
    FT_Face face = nullptr;
};

const cairo_user_data_key_t kFaceHolderKey{};

void DestroyFaceHolder(void* p)
{
    auto* holder = static_cast<FaceHolder*>(p);
    {
        std::lock_guard<std::mutex> lock(FreeTypeMutex());
        if (holder->face)
            FT_Done_Face(holder->face);
    }
    delete holder;
}

// cairo may keep a face in its caches after we let go of it and call DestroyFaceHolder much
// later: in a host that uses cairo itself, after the host unloaded us. The binary holding that
// callback stays loaded from its first face on.
void PinThisBinary()
{
    static const bool pinned = [] {
        Dl_info info {};
        if (dladdr(reinterpret_cast<void*>(&DestroyFaceHolder), &info) == 0 || info.dli_fname == nullptr)
            return false;
        return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
    }();
    (void)pinned;
}

cairo_font_face_t* CreateFontFace(const void* data, std::size_t size)
{
    PinThisBinary();
    if (!data || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<FT_Long>::max()))
        return nullptr;
    auto* holder = new FaceHolder;
    try
    {
        holder->bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    }
    catch (...)
    {
        delete holder;
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(FreeTypeMutex());
        FT_Library lib = FreeTypeLibrary();
        if (!lib || FT_New_Memory_Face(lib, holder->bytes.data(), static_cast<FT_Long>(holder->bytes.size()), 0,
                                       &holder->face) != 0)
            holder->face = nullptr;
    }
    if (!holder->face || !(holder->face->face_flags & FT_FACE_FLAG_SCALABLE))
    {
        DestroyFaceHolder(holder);
        return nullptr;
    }
    cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(holder->face, 0);
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS ||
        cairo_font_face_set_user_data(face, &kFaceHolderKey, holder, DestroyFaceHolder) != CAIRO_STATUS_SUCCESS)
    {
        cairo_font_face_destroy(face);
        DestroyFaceHolder(holder);
        return nullptr;
    }
    return face;
}

// PNG decoding reads from this cursor over the caller's bytes.
struct MemoryReader
{
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

cairo_status_t ReadFromMemory(void* closure, unsigned char* out, unsigned int length)
{
    auto* r = static_cast<MemoryReader*>(closure);
    if (length > r->size - r->pos)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

class CairoBitmap final : public APIBitmap
{
public:
    explicit CairoBitmap(cairo_surface_t* s) : surface(s) {}
    ~CairoBitmap() override { cairo_surface_destroy(surface); }
    cairo_surface_t* surface;
};

void AddRoundRect(cairo_t* cr, const IRECT& r, float radius)
{
    const double rad = std::clamp(static_cast<double>(radius), 0.0, 0.5 * std::min(r.W(), r.H()));
    if (rad <= 0.0)
    {
        cairo_rectangle(cr, r.left, r.top, r.W(), r.H());
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.right - rad, r.top + rad, rad, -0.5 * kPi, 0.0);
    cairo_arc(cr, r.right - rad, r.bottom - rad, rad, 0.0, 0.5 * kPi);
    cairo_arc(cr, r.left + rad, r.bottom - rad, rad, 0.5 * kPi, kPi);
    cairo_arc(cr, r.left + rad, r.top + rad, rad, kPi, 1.5 * kPi);
    cairo_close_path(cr);
}

bool IsImage(cairo_surface_t* s)
{
    return s && cairo_surface_get_type(s) == CAIRO_SURFACE_TYPE_IMAGE;
}

// The 32-bit formats we can read back: ARGB32, and RGB24 (an X11 window's depth-24 image).
bool IsReadable(cairo_surface_t* s)
{
    if (!IsImage(s))
        return false;
    const cairo_format_t f = cairo_image_surface_get_format(s);
    return f == CAIRO_FORMAT_ARGB32 || f == CAIRO_FORMAT_RGB24;
}

} // namespace

CairoRenderer::CairoRenderer()
{
    mFontOptions = cairo_font_options_create();
    cairo_font_options_set_antialias(mFontOptions, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(mFontOptions, CAIRO_HINT_STYLE_SLIGHT);
    // Unhinted advances: a text measures the same at every scale, so layouts do not shift.
    cairo_font_options_set_hint_metrics(mFontOptions, CAIRO_HINT_METRICS_OFF);
}

CairoRenderer::~CairoRenderer()
{
    ReleaseTarget();
    for (FontSlot& f : mFonts)
        cairo_font_face_destroy(f.face);
    cairo_font_options_destroy(mFontOptions);
}

// --- Targets ---------------------------------------------------------------------------------

bool CairoRenderer::SetTargetSurface(cairo_surface_t* surface)
{
    ReleaseTarget();
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return false;
    mTarget = cairo_surface_reference(surface);
    return true;
}

bool CairoRenderer::CreateOffscreen(int pixelWidth, int pixelHeight)
{
    ReleaseTarget();
    if (pixelWidth <= 0 || pixelHeight <= 0)
        return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(s);
        return false;
    }
    mTarget = s; // a new image surface starts cleared to transparent
    return true;
}

bool CairoRenderer::SetTargetBuffer(unsigned char* argbPixels, int pixelWidth, int pixelHeight, int stride)
{
    ReleaseTarget();
    if (!argbPixels || pixelWidth <= 0 || pixelHeight <= 0 ||
        stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixelWidth) || stride % 4 != 0)
        return false;
    cairo_surface_t* s =
        cairo_image_surface_create_for_data(argbPixels, CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight, stride);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(s);
        return false;
    }
    mTarget = s;
    return true;
}

void CairoRenderer::ReleaseTarget()
{
    EndFrame();
    if (mTarget)
    {
        cairo_surface_flush(mTarget);
        cairo_surface_destroy(mTarget);
        mTarget = nullptr;
    }
}

int CairoRenderer::TargetWidth() const
{
    return IsImage(mTarget) ? cairo_image_surface_get_width(mTarget) : 0;
}
int CairoRenderer::TargetHeight() const
{
    return IsImage(mTarget) ? cairo_image_surface_get_height(mTarget) : 0;
}

void CairoRenderer::ClearTargetTo(const IColor& color)
{
    if (!mTarget)
        return;
    cairo_t* cr = cairo_create(mTarget);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, color.RedF(), color.GreenF(), color.BlueF(), color.AlphaF());
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mTarget);
}

IColor CairoRenderer::ReadPixel(int x, int y) const
{
    if (!IsReadable(mTarget) || x < 0 || y < 0 || x >= TargetWidth() || y >= TargetHeight())
        return COLOR_TRANSPARENT;
    cairo_surface_flush(mTarget);
    const unsigned char* row = cairo_image_surface_get_data(mTarget) + y * cairo_image_surface_get_stride(mTarget);
    std::uint32_t px = 0;
    std::memcpy(&px, row + 4 * x, 4);
    const bool opaque = cairo_image_surface_get_format(mTarget) == CAIRO_FORMAT_RGB24; // top byte unused
    const int a = opaque ? 255 : static_cast<int>(px >> 24);
    if (a == 0)
        return COLOR_TRANSPARENT;
    // A caller's buffer may hold colour above its alpha, which premultiplied pixels cannot mean.
    auto unpremultiply = [a](std::uint32_t c) { return std::min(255, static_cast<int>((c * 255 + a / 2) / a)); };
    return {a, unpremultiply((px >> 16) & 0xff), unpremultiply((px >> 8) & 0xff), unpremultiply(px & 0xff)};
}

bool CairoRenderer::WritePng(const char* path) const
{
    if (!mTarget || !path)
        return false;
    cairo_surface_flush(mTarget);
    return cairo_surface_write_to_png(mTarget, path) == CAIRO_STATUS_SUCCESS;
}

// --- Frame -----------------------------------------------------------------------------------

bool CairoRenderer::BeginFrame(float scale)
{
    EndFrame();
    if (!mTarget || !Finite(scale) || scale <= 0.f)
        return false;
    mCr = cairo_create(mTarget);
    if (cairo_status(mCr) != CAIRO_STATUS_SUCCESS)
    {
        cairo_destroy(mCr);
        mCr = nullptr;
        return false;
    }
    cairo_scale(mCr, scale, scale);
    cairo_set_antialias(mCr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_font_options(mCr, mFontOptions);
    return true;
}

void CairoRenderer::EndFrame()
{
    if (!mCr)
        return;
    while (mClipDepth > 0)
        PopClip();
    cairo_destroy(mCr);
    mCr = nullptr;
    cairo_surface_flush(mTarget);
}

void CairoRenderer::PushClip(const IRECT& rect)
{
    if (!mCr)
        return;
    cairo_save(mCr);
    ++mClipDepth;
    // A degenerate clip still counts, so the matching PopClip stays balanced; it just hides all.
    const IRECT r = Finite(rect) ? rect : IRECT();
    cairo_new_path(mCr);
    cairo_rectangle(mCr, r.left, r.top, std::max(0.f, r.W()), std::max(0.f, r.H()));
    cairo_clip(mCr);
}

void CairoRenderer::PopClip()
{
    if (!mCr || mClipDepth == 0)
        return;
    cairo_restore(mCr);
    --mClipDepth;
}

// --- Shared helpers --------------------------------------------------------------------------

void CairoRenderer::SetSource(const IColor& color, const IBlend* blend)
{
    cairo_set_source_rgba(mCr, color.RedF(), color.GreenF(), color.BlueF(), color.AlphaF() * IBlend::Weight(blend));
}

void CairoRenderer::FillCurrent(const IColor& color, const IBlend* blend)
{
    SetSource(color, blend);
    cairo_set_fill_rule(mCr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(mCr);
}

void CairoRenderer::StrokeCurrent(const IColor& color, const IBlend* blend, float thickness)
{
    SetSource(color, blend);
    cairo_set_line_width(mCr, thickness);
    cairo_stroke(mCr);
}

// The shapes are drawn through cairo's path, so the toolkit's own path is set aside and
// restored around them: a control may draw a circle between building and stroking a path.
namespace {
struct SavedPath
{
    explicit SavedPath(cairo_t* c) : cr(c), path(cairo_copy_path(c)) { cairo_new_path(c); }
    ~SavedPath()
    {
        cairo_new_path(cr);
        if (path->status == CAIRO_STATUS_SUCCESS && path->num_data > 0)
            cairo_append_path(cr, path);
        cairo_path_destroy(path);
    }
    cairo_t* cr;
    cairo_path_t* path;
};
} // namespace

// --- Fills -----------------------------------------------------------------------------------

void CairoRenderer::FillRect(const IColor& color, const IRECT& rect, const IBlend* blend)
{
    if (!mCr || !Drawable(rect))
        return;
    SavedPath keep(mCr);
    cairo_rectangle(mCr, rect.left, rect.top, rect.W(), rect.H());
    FillCurrent(color, blend);
}

void CairoRenderer::FillRoundRect(const IColor& color, const IRECT& rect, float cornerRadius, const IBlend* blend)
{
    if (!mCr || !Drawable(rect) || !Finite(cornerRadius))
        return;
    SavedPath keep(mCr);
    AddRoundRect(mCr, rect, cornerRadius);
    FillCurrent(color, blend);
}

void CairoRenderer::FillCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend)
{
    if (!mCr || !Finite(cx) || !Finite(cy) || !Finite(radius) || radius <= 0.f)
        return;
    SavedPath keep(mCr);
    cairo_arc(mCr, cx, cy, radius, 0.0, 2.0 * kPi);
    FillCurrent(color, blend);
}

// --- Strokes ---------------------------------------------------------------------------------

void CairoRenderer::DrawRect(const IColor& color, const IRECT& rect, const IBlend* blend, float thickness)
{
    if (!mCr || !Drawable(rect) || !Finite(thickness) || thickness <= 0.f)
        return;
    SavedPath keep(mCr);
    cairo_rectangle(mCr, rect.left, rect.top, rect.W(), rect.H());
    StrokeCurrent(color, blend, thickness);
}

void CairoRenderer::DrawRoundRect(const IColor& color, const IRECT& rect, float cornerRadius, const IBlend* blend,
                                  float thickness)
{
    if (!mCr || !Drawable(rect) || !Finite(cornerRadius) || !Finite(thickness) || thickness <= 0.f)
        return;
    SavedPath keep(mCr);
    AddRoundRect(mCr, rect, cornerRadius);
    StrokeCurrent(color, blend, thickness);
}

void CairoRenderer::DrawCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend,
                               float thickness)
{
    if (!mCr || !Finite(cx) || !Finite(cy) || !Finite(radius) || radius <= 0.f || !Finite(thickness) ||
        thickness <= 0.f)
        return;
    SavedPath keep(mCr);
    cairo_arc(mCr, cx, cy, radius, 0.0, 2.0 * kPi);
    StrokeCurrent(color, blend, thickness);
}

void CairoRenderer::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                             float thickness)
{
    if (!mCr || !Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2) || !Finite(thickness) || thickness <= 0.f)
        return;
    SavedPath keep(mCr);
    cairo_move_to(mCr, x1, y1);
    cairo_line_to(mCr, x2, y2);
    StrokeCurrent(color, blend, thickness);
}

// --- Paths -----------------------------------------------------------------------------------

void CairoRenderer::PathClear()
{
    if (mCr)
        cairo_new_path(mCr);
}

void CairoRenderer::PathMoveTo(float x, float y)
{
    if (mCr && Finite(x) && Finite(y))
        cairo_move_to(mCr, x, y);
}

void CairoRenderer::PathLineTo(float x, float y)
{
    // A point that is not a number is left out rather than poisoning the whole path.
    if (mCr && Finite(x) && Finite(y))
        cairo_line_to(mCr, x, y);
}

void CairoRenderer::PathClose()
{
    if (mCr)
        cairo_close_path(mCr);
}

void CairoRenderer::PathFill(const IColor& color, const IBlend* blend)
{
    if (!mCr)
        return;
    FillCurrent(color, blend);
}

void CairoRenderer::PathStroke(const IColor& color, float thickness, bool keepPath, const IBlend* blend)
{
    if (!mCr)
        return;
    if (!Finite(thickness) || thickness <= 0.f)
    {
        if (!keepPath)
            cairo_new_path(mCr);
        return;
    }
    SetSource(color, blend);
    cairo_set_line_width(mCr, thickness);
    // Bevel joins keep a jagged curve (the spectrum) free of miter spikes, and cost less than
    // round ones; at the thin widths the editor uses they look the same.
    cairo_set_line_join(mCr, CAIRO_LINE_JOIN_BEVEL);
    if (keepPath)
        cairo_stroke_preserve(mCr);
    else
        cairo_stroke(mCr);
    cairo_set_line_join(mCr, CAIRO_LINE_JOIN_MITER);
}

// --- Text ------------------------------------------------------------------------------------

const CairoRenderer::FontSlot* CairoRenderer::FindFont(const IText& style) const
{
    const std::string_view id = style.FontId();
    for (const FontSlot& f : mFonts)
        if (f.id == id)
            return &f;
    return nullptr;
}

bool CairoRenderer::LayoutText(const FontSlot& font, const IText& style, const char* str, const IRECT& rect,
                               TextLayout& out) const
{
    if (!Finite(style.size) || style.size <= 0.f || !Finite(rect))
        return false;
    cairo_matrix_t fontMatrix;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&fontMatrix, style.size, style.size);
    cairo_matrix_init_identity(&identity);
    cairo_scaled_font_t* sf = cairo_scaled_font_create(font.face, &fontMatrix, &identity, mFontOptions);
    if (cairo_scaled_font_status(sf) != CAIRO_STATUS_SUCCESS)
    {
        cairo_scaled_font_destroy(sf);
        return false;
    }
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(sf, &fe);
    double width = 0.0;
    if (str && str[0] != '\0')
    {
        cairo_text_extents_t te;
        cairo_scaled_font_text_extents(sf, str, &te);
        width = te.x_advance;
    }
    cairo_scaled_font_destroy(sf);

    const double lineHeight = fe.ascent + fe.descent;
    double x = rect.left;
    if (style.align == EAlign::Center)
        x = rect.MW() - 0.5 * width;
    else if (style.align == EAlign::Far)
        x = rect.right - width;
    double y = rect.top;
    if (style.valign == EVAlign::Middle)
        y = rect.MH() - 0.5 * lineHeight;
    else if (style.valign == EVAlign::Bottom)
        y = rect.bottom - lineHeight;

    out.box = IRECT(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + width),
                    static_cast<float>(y + lineHeight));
    out.baseline = static_cast<float>(y + fe.ascent);
    return true;
}

IRECT CairoRenderer::MeasureText(const IText& style, const char* str, const IRECT& rect) const
{
    const FontSlot* font = FindFont(style);
    TextLayout layout;
    if (font && LayoutText(*font, style, str, rect, layout))
        return layout.box;
    return draw::AlignmentPoint(style, rect); // unknown font: an empty extent
}

void CairoRenderer::DrawText(const IText& style, const char* str, const IRECT& rect, const IBlend* blend)
{
    if (!mCr || !str || str[0] == '\0')
        return;
    const FontSlot* font = FindFont(style);
    TextLayout layout;
    if (!font || !LayoutText(*font, style, str, rect, layout))
        return;
    SavedPath keep(mCr);
    cairo_save(mCr);
    if (Finite(style.angle) && style.angle != 0.f)
    {
        const double cx = layout.box.MW();
        const double cy = layout.box.MH();
        cairo_translate(mCr, cx, cy);
        cairo_rotate(mCr, style.angle * kPi / 180.0);
        cairo_translate(mCr, -cx, -cy);
    }
    cairo_set_font_face(mCr, font->face);
    cairo_set_font_size(mCr, style.size);
    SetSource(style.fgColor, blend);
    cairo_move_to(mCr, layout.box.left, layout.baseline);
    cairo_show_text(mCr, str);
    cairo_restore(mCr);
}

// --- Bitmaps ---------------------------------------------------------------------------------

void CairoRenderer::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& rect, const IBlend* blend)
{
    const auto* pixels = dynamic_cast<const CairoBitmap*>(bitmap.GetAPIBitmap());
    if (!mCr || !pixels || !bitmap.IsValid() || !Drawable(rect))
        return;
    const int bw = cairo_image_surface_get_width(pixels->surface);
    const int bh = cairo_image_surface_get_height(pixels->surface);
    SavedPath keep(mCr);
    cairo_save(mCr);
    cairo_translate(mCr, rect.left, rect.top);
    cairo_scale(mCr, rect.W() / bw, rect.H() / bh);
    cairo_set_source_surface(mCr, pixels->surface, 0.0, 0.0);
    cairo_pattern_t* pattern = cairo_get_source(mCr);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    // Padding keeps the outermost pixels from fading into transparency at the edges.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_rectangle(mCr, 0.0, 0.0, bw, bh);
    cairo_clip(mCr);
    cairo_paint_with_alpha(mCr, IBlend::Weight(blend));
    cairo_restore(mCr);
}

// --- Resources -------------------------------------------------------------------------------

bool CairoRenderer::LoadFont(const char* fontId, const void* data, std::size_t size)
{
    if (!fontId || fontId[0] == '\0')
        return false;
    IText probe;
    probe.SetFont(fontId);
    if (FindFont(probe))
        return true;
    cairo_font_face_t* face = CreateFontFace(data, size);
    if (!face)
        return false;
    try
    {
        mFonts.push_back({std::string(probe.FontId()), face});
    }
    catch (...)
    {
        cairo_font_face_destroy(face);
        throw;
    }
    return true;
}

bool CairoRenderer::HasFont(const char* fontId) const
{
    if (!fontId)
        return false;
    IText probe;
    probe.SetFont(fontId);
    return FindFont(probe) != nullptr;
}

IBitmap CairoRenderer::LoadBitmap(const void* data, std::size_t size, float scale)
{
    if (!data || size == 0 || !Finite(scale) || scale <= 0.f)
        return {};
    MemoryReader reader{static_cast<const unsigned char*>(data), size, 0};
    cairo_surface_t* png = cairo_image_surface_create_from_png_stream(ReadFromMemory, &reader);
    if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(png) <= 0 ||
        cairo_image_surface_get_height(png) <= 0)
    {
        cairo_surface_destroy(png);
        return {};
    }
    const int w = cairo_image_surface_get_width(png);
    const int h = cairo_image_surface_get_height(png);
    std::shared_ptr<CairoBitmap> bitmap;
    try
    {
        bitmap = std::make_shared<CairoBitmap>(png);
    }
    catch (...)
    {
        cairo_surface_destroy(png);
        throw;
    }
    return IBitmap(std::move(bitmap), w, h, scale);
}

} // namespace igraphics
