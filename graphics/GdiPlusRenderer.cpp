#include "graphics/GdiPlusRenderer.h"
#include "graphics/DrawChecks.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objidl.h>
#include <shlwapi.h>

#include <gdiplus.h>
// The system's A/W macros would rename our members.
#undef DrawText
#undef LoadBitmap

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace igraphics {

namespace gp = Gdiplus;

namespace {

// Larger images are refused rather than allocated: the logo is 250 x 201.
constexpr int kMaxBitmapSide = 16384;

using draw::Drawable;
using draw::Finite;

// GDI+ may only be shut down once every object made with it is gone, and bitmaps may outlive the
// renderer that loaded them: renderers and bitmaps share one session and the last one ends it.
class GdiPlusSession
{
public:
    static std::shared_ptr<GdiPlusSession> Acquire()
    {
        static std::mutex* lock = new std::mutex; // never destroyed: sessions may end at exit
        static std::weak_ptr<GdiPlusSession>* current = new std::weak_ptr<GdiPlusSession>;
        std::lock_guard<std::mutex> guard(*lock);
        std::shared_ptr<GdiPlusSession> session = current->lock();
        if (!session)
        {
            session.reset(new GdiPlusSession);
            if (!session->mStarted)
                return nullptr;
            *current = session;
        }
        return session;
    }

    ~GdiPlusSession()
    {
        if (mStarted)
            gp::GdiplusShutdown(mToken);
    }

    GdiPlusSession(const GdiPlusSession&) = delete;
    GdiPlusSession& operator=(const GdiPlusSession&) = delete;

private:
    GdiPlusSession()
    {
        gp::GdiplusStartupInput input;
        mStarted = gp::GdiplusStartup(&mToken, &input, nullptr) == gp::Ok;
    }

    ULONG_PTR mToken = 0;
    bool mStarted = false;
};

// Premultiplied pixels of our own with a GDI+ bitmap over them. The session goes last.
class GdiPlusBitmap final : public APIBitmap
{
public:
    std::shared_ptr<GdiPlusSession> session;
    std::vector<std::uint32_t> pixels;
    std::unique_ptr<gp::Bitmap> bitmap;
};

BYTE ClampByte(int v)
{
    return static_cast<BYTE>(std::clamp(v, 0, 255));
}

gp::Color ToColor(const IColor& c, const IBlend* blend)
{
    const float alpha = IColor::Unit(c.a) * IBlend::Weight(blend);
    return gp::Color(static_cast<BYTE>(std::lround(alpha * 255.f)), ClampByte(c.r), ClampByte(c.g), ClampByte(c.b));
}

std::wstring Widen(const char* utf8)
{
    if (!utf8 || !*utf8)
        return {};
    // Invalid sequences become U+FFFD.
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (units <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), units);
    wide.resize(static_cast<std::size_t>(units - 1));
    return wide;
}

gp::RectF ToRectF(const IRECT& r)
{
    return gp::RectF(r.left, r.top, r.W(), r.H());
}

void AddRoundRect(gp::GraphicsPath& path, const IRECT& r, float radius)
{
    const float rad = std::clamp(radius, 0.f, 0.5f * std::min(r.W(), r.H()));
    if (rad <= 0.f)
    {
        path.AddRectangle(ToRectF(r));
        return;
    }
    const float d = 2.f * rad;
    path.StartFigure();
    path.AddArc(r.right - d, r.top, d, d, 270.f, 90.f);
    path.AddArc(r.right - d, r.bottom - d, d, d, 0.f, 90.f);
    path.AddArc(r.left, r.bottom - d, d, d, 90.f, 90.f);
    path.AddArc(r.left, r.top, d, d, 180.f, 90.f);
    path.CloseFigure();
}

bool IsPng(const void* data, std::size_t size)
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return size > sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool PngEncoder(CLSID& out)
{
    UINT count = 0;
    UINT bytes = 0;
    if (gp::GetImageEncodersSize(&count, &bytes) != gp::Ok || count == 0 || bytes == 0)
        return false;
    std::vector<std::uint64_t> storage((bytes + 7) / 8); // aligned for the records
    auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(storage.data());
    if (gp::GetImageEncoders(count, bytes, codecs) != gp::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0)
        {
            out = codecs[i].Clsid;
            return true;
        }
    return false;
}

struct FontSlot
{
    std::string id;
    std::vector<unsigned char> bytes; // kept for the collection's whole life
    std::unique_ptr<gp::PrivateFontCollection> collection;
    std::unique_ptr<gp::FontFamily> family;
    float ascent = 0.f;  // per em
    float descent = 0.f; // per em
};

struct TextLayout
{
    IRECT box;
};

} // namespace

struct GdiPlusRenderer::Impl
{
    // First member, so it is destroyed after every GDI+ object below.
    std::shared_ptr<GdiPlusSession> session = GdiPlusSession::Acquire();

    std::vector<std::uint32_t> owned;
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::unique_ptr<gp::Bitmap> target;

    std::unique_ptr<gp::Graphics> g; // only during a frame
    std::vector<gp::GraphicsState> clips;

    std::unique_ptr<gp::GraphicsPath> path;
    bool hasPoint = false;
    gp::PointF current;
    gp::PointF figureStart;

    std::vector<std::unique_ptr<FontSlot>> fonts;
    // Text is measured on a 1 x 1 image, so measuring needs no target and no frame.
    std::unique_ptr<gp::Bitmap> measureImage;
    std::unique_ptr<gp::Graphics> measure;
    std::unique_ptr<gp::StringFormat> typographic;

    Impl()
    {
        if (!session)
            return;
        path = std::make_unique<gp::GraphicsPath>(gp::FillModeWinding);
        measureImage = std::make_unique<gp::Bitmap>(1, 1, PixelFormat32bppPARGB);
        measure.reset(gp::Graphics::FromImage(measureImage.get()));
        if (measure)
        {
            measure->SetPageUnit(gp::UnitPixel);
            measure->SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
        }
        // No padding around the text, trailing spaces count: advances as the font defines them.
        typographic = std::make_unique<gp::StringFormat>(gp::StringFormat::GenericTypographic());
        typographic->SetFormatFlags(typographic->GetFormatFlags() | gp::StringFormatFlagsMeasureTrailingSpaces |
                                    gp::StringFormatFlagsNoClip | gp::StringFormatFlagsNoWrap);
    }

    ~Impl()
    {
        g.reset();
        target.reset();
    }

    bool Ready() const { return session && path && measure && typographic; }

    bool SetTarget(unsigned char* bits, int w, int h, int rowBytes)
    {
        target = std::make_unique<gp::Bitmap>(w, h, rowBytes, PixelFormat32bppPARGB, bits);
        if (target->GetLastStatus() != gp::Ok)
        {
            target.reset();
            return false;
        }
        pixels = bits;
        width = w;
        height = h;
        stride = rowBytes;
        return true;
    }

    const FontSlot* FindFont(std::string_view id) const
    {
        for (const auto& f : fonts)
            if (f->id == id)
                return f.get();
        return nullptr;
    }

    bool Layout(const FontSlot& font, const IText& style, const std::wstring& text, const IRECT& rect,
                TextLayout& out) const
    {
        if (!Finite(style.size) || style.size <= 0.f || !Finite(rect))
            return false;
        float width = 0.f;
        if (!text.empty())
        {
            gp::Font f(font.family.get(), style.size, gp::FontStyleRegular, gp::UnitPixel);
            if (f.GetLastStatus() != gp::Ok)
                return false;
            gp::RectF bounds;
            if (measure->MeasureString(text.c_str(), static_cast<INT>(text.size()), &f, gp::PointF(0.f, 0.f),
                                       typographic.get(), &bounds) != gp::Ok)
                return false;
            width = bounds.Width;
        }
        const float lineHeight = style.size * (font.ascent + font.descent);
        float x = rect.left;
        if (style.align == EAlign::Center)
            x = rect.MW() - 0.5f * width;
        else if (style.align == EAlign::Far)
            x = rect.right - width;
        float y = rect.top;
        if (style.valign == EVAlign::Middle)
            y = rect.MH() - 0.5f * lineHeight;
        else if (style.valign == EVAlign::Bottom)
            y = rect.bottom - lineHeight;
        out.box = IRECT(x, y, x + width, y + lineHeight);
        return true;
    }

    void Fill(const gp::GraphicsPath& shape, const IColor& color, const IBlend* blend)
    {
        gp::SolidBrush brush(ToColor(color, blend));
        g->FillPath(&brush, &shape);
    }

    void Stroke(const gp::GraphicsPath& shape, const IColor& color, const IBlend* blend, float thickness,
                gp::LineJoin join = gp::LineJoinMiter)
    {
        gp::Pen pen(ToColor(color, blend), thickness);
        pen.SetLineJoin(join);
        g->DrawPath(&pen, &shape);
    }
};

GdiPlusRenderer::GdiPlusRenderer() : mImpl(std::make_unique<Impl>()) {}

GdiPlusRenderer::~GdiPlusRenderer()
{
    ReleaseTarget();
}

// --- Targets ---------------------------------------------------------------------------------

bool GdiPlusRenderer::CreateOffscreen(int pixelWidth, int pixelHeight)
{
    ReleaseTarget();
    if (!mImpl->Ready() || pixelWidth <= 0 || pixelHeight <= 0 || pixelWidth > kMaxBitmapSide ||
        pixelHeight > kMaxBitmapSide)
        return false;
    mImpl->owned.assign(static_cast<std::size_t>(pixelWidth) * static_cast<std::size_t>(pixelHeight), 0u);
    if (!mImpl->SetTarget(reinterpret_cast<unsigned char*>(mImpl->owned.data()), pixelWidth, pixelHeight,
                          4 * pixelWidth))
    {
        mImpl->owned.clear();
        return false;
    }
    return true;
}

bool GdiPlusRenderer::SetTargetBuffer(unsigned char* argbPixels, int pixelWidth, int pixelHeight, int stride)
{
    ReleaseTarget();
    if (!mImpl->Ready() || !argbPixels || pixelWidth <= 0 || pixelHeight <= 0 || pixelWidth > INT_MAX / 4 ||
        stride < 4 * pixelWidth || stride % 4 != 0)
        return false;
    return mImpl->SetTarget(argbPixels, pixelWidth, pixelHeight, stride);
}

void GdiPlusRenderer::ReleaseTarget()
{
    EndFrame();
    mImpl->target.reset();
    mImpl->owned.clear();
    mImpl->owned.shrink_to_fit();
    mImpl->pixels = nullptr;
    mImpl->width = mImpl->height = mImpl->stride = 0;
}

int GdiPlusRenderer::TargetWidth() const
{
    return mImpl->width;
}
int GdiPlusRenderer::TargetHeight() const
{
    return mImpl->height;
}
const unsigned char* GdiPlusRenderer::TargetPixels() const
{
    return mImpl->pixels;
}
int GdiPlusRenderer::TargetStride() const
{
    return mImpl->stride;
}

void GdiPlusRenderer::ClearTargetTo(const IColor& color)
{
    if (!mImpl->pixels)
        return;
    if (mImpl->g)
        mImpl->g->Flush(gp::FlushIntentionSync);
    const int a = ClampByte(color.a);
    auto premultiply = [a](int c) { return static_cast<std::uint32_t>((ClampByte(c) * a + 127) / 255); };
    const std::uint32_t px = (static_cast<std::uint32_t>(a) << 24) | (premultiply(color.r) << 16) |
                             (premultiply(color.g) << 8) | premultiply(color.b);
    for (int y = 0; y < mImpl->height; ++y)
    {
        unsigned char* row = mImpl->pixels + static_cast<std::ptrdiff_t>(y) * mImpl->stride;
        for (int x = 0; x < mImpl->width; ++x)
            std::memcpy(row + 4 * x, &px, 4);
    }
}

IColor GdiPlusRenderer::ReadPixel(int x, int y) const
{
    if (!mImpl->pixels || x < 0 || y < 0 || x >= mImpl->width || y >= mImpl->height)
        return COLOR_TRANSPARENT;
    if (mImpl->g)
        mImpl->g->Flush(gp::FlushIntentionSync);
    std::uint32_t px = 0;
    std::memcpy(&px, mImpl->pixels + static_cast<std::ptrdiff_t>(y) * mImpl->stride + 4 * x, 4);
    const int a = static_cast<int>(px >> 24);
    if (a == 0)
        return COLOR_TRANSPARENT;
    // A caller's buffer may hold colour above its alpha, which premultiplied pixels cannot mean.
    auto unpremultiply = [a](std::uint32_t c) { return std::min(255, static_cast<int>((c * 255 + a / 2) / a)); };
    return {a, unpremultiply((px >> 16) & 0xff), unpremultiply((px >> 8) & 0xff), unpremultiply(px & 0xff)};
}

bool GdiPlusRenderer::WritePng(const char* path) const
{
    if (!mImpl->target || !path || !*path)
        return false;
    if (mImpl->g)
        mImpl->g->Flush(gp::FlushIntentionSync);
    CLSID png;
    if (!PngEncoder(png))
        return false;
    const std::wstring widePath = Widen(path);
    return mImpl->target->Save(widePath.c_str(), &png, nullptr) == gp::Ok;
}

// --- Frame -----------------------------------------------------------------------------------

bool GdiPlusRenderer::BeginFrame(float scale)
{
    EndFrame();
    if (!mImpl->target || !Finite(scale) || scale <= 0.f)
        return false;
    mImpl->g.reset(gp::Graphics::FromImage(mImpl->target.get()));
    if (!mImpl->g || mImpl->g->GetLastStatus() != gp::Ok)
    {
        mImpl->g.reset();
        return false;
    }
    gp::Graphics& g = *mImpl->g;
    g.SetPageUnit(gp::UnitPixel);
    g.SetSmoothingMode(gp::SmoothingModeAntiAlias);
    // Pixel centres at half coordinates, as in cairo: a rectangle on whole coordinates covers
    // whole pixels.
    g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
    // Plain (not gamma-corrected) blending, and unhinted text that measures the same at every scale.
    g.SetCompositingMode(gp::CompositingModeSourceOver);
    g.SetCompositingQuality(gp::CompositingQualityHighSpeed);
    g.SetTextRenderingHint(gp::TextRenderingHintAntiAlias);
    g.SetInterpolationMode(gp::InterpolationModeHighQualityBilinear);
    g.ScaleTransform(scale, scale);
    mImpl->path->Reset();
    mImpl->path->SetFillMode(gp::FillModeWinding);
    mImpl->hasPoint = false;
    return true;
}

void GdiPlusRenderer::EndFrame()
{
    if (!mImpl->g)
        return;
    mImpl->clips.clear(); // the states die with the graphics object
    mImpl->g->Flush(gp::FlushIntentionSync);
    mImpl->g.reset();
}

void GdiPlusRenderer::PushClip(const IRECT& rect)
{
    if (!mImpl->g)
        return;
    mImpl->clips.push_back(mImpl->g->Save());
    // A degenerate clip still counts, so the matching PopClip stays balanced; it just hides all.
    const IRECT r = Finite(rect) ? rect : IRECT();
    mImpl->g->IntersectClip(gp::RectF(r.left, r.top, std::max(0.f, r.W()), std::max(0.f, r.H())));
}

void GdiPlusRenderer::PopClip()
{
    if (!mImpl->g || mImpl->clips.empty())
        return;
    mImpl->g->Restore(mImpl->clips.back());
    mImpl->clips.pop_back();
}

// --- Fills -----------------------------------------------------------------------------------

void GdiPlusRenderer::FillRect(const IColor& color, const IRECT& rect, const IBlend* blend)
{
    if (!mImpl->g || !Drawable(rect))
        return;
    gp::SolidBrush brush(ToColor(color, blend));
    mImpl->g->FillRectangle(&brush, ToRectF(rect));
}

void GdiPlusRenderer::FillRoundRect(const IColor& color, const IRECT& rect, float cornerRadius, const IBlend* blend)
{
    if (!mImpl->g || !Drawable(rect) || !Finite(cornerRadius))
        return;
    gp::GraphicsPath shape(gp::FillModeWinding);
    AddRoundRect(shape, rect, cornerRadius);
    mImpl->Fill(shape, color, blend);
}

void GdiPlusRenderer::FillCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend)
{
    if (!mImpl->g || !Finite(cx) || !Finite(cy) || !Finite(radius) || radius <= 0.f)
        return;
    gp::SolidBrush brush(ToColor(color, blend));
    mImpl->g->FillEllipse(&brush, cx - radius, cy - radius, 2.f * radius, 2.f * radius);
}

// --- Strokes ---------------------------------------------------------------------------------

void GdiPlusRenderer::DrawRect(const IColor& color, const IRECT& rect, const IBlend* blend, float thickness)
{
    if (!mImpl->g || !Drawable(rect) || !Finite(thickness) || thickness <= 0.f)
        return;
    gp::Pen pen(ToColor(color, blend), thickness);
    mImpl->g->DrawRectangle(&pen, ToRectF(rect));
}

void GdiPlusRenderer::DrawRoundRect(const IColor& color, const IRECT& rect, float cornerRadius, const IBlend* blend,
                                    float thickness)
{
    if (!mImpl->g || !Drawable(rect) || !Finite(cornerRadius) || !Finite(thickness) || thickness <= 0.f)
        return;
    gp::GraphicsPath shape(gp::FillModeWinding);
    AddRoundRect(shape, rect, cornerRadius);
    mImpl->Stroke(shape, color, blend, thickness);
}

void GdiPlusRenderer::DrawCircle(const IColor& color, float cx, float cy, float radius, const IBlend* blend,
                                 float thickness)
{
    if (!mImpl->g || !Finite(cx) || !Finite(cy) || !Finite(radius) || radius <= 0.f || !Finite(thickness) ||
        thickness <= 0.f)
        return;
    gp::Pen pen(ToColor(color, blend), thickness);
    mImpl->g->DrawEllipse(&pen, cx - radius, cy - radius, 2.f * radius, 2.f * radius);
}

void GdiPlusRenderer::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                               float thickness)
{
    if (!mImpl->g || !Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2) || !Finite(thickness) ||
        thickness <= 0.f)
        return;
    gp::Pen pen(ToColor(color, blend), thickness);
    mImpl->g->DrawLine(&pen, x1, y1, x2, y2);
}

// --- Paths -----------------------------------------------------------------------------------
// The toolkit's path is a GDI+ path of its own, so shapes drawn while it is being built leave it
// alone.

void GdiPlusRenderer::PathClear()
{
    if (!mImpl->g)
        return;
    mImpl->path->Reset();
    mImpl->path->SetFillMode(gp::FillModeWinding);
    mImpl->hasPoint = false;
}

void GdiPlusRenderer::PathMoveTo(float x, float y)
{
    if (!mImpl->g || !Finite(x) || !Finite(y))
        return;
    mImpl->path->StartFigure();
    mImpl->current = mImpl->figureStart = gp::PointF(x, y);
    mImpl->hasPoint = true;
}

void GdiPlusRenderer::PathLineTo(float x, float y)
{
    // A point that is not a number is left out rather than poisoning the whole path.
    if (!mImpl->g || !Finite(x) || !Finite(y))
        return;
    if (!mImpl->hasPoint)
    {
        PathMoveTo(x, y);
        return;
    }
    const gp::PointF to(x, y);
    mImpl->path->AddLine(mImpl->current, to);
    mImpl->current = to;
}

void GdiPlusRenderer::PathClose()
{
    if (!mImpl->g || !mImpl->hasPoint)
        return;
    mImpl->path->CloseFigure();
    // As in cairo, a line after the close starts from the sub-path's first point.
    mImpl->current = mImpl->figureStart;
}

void GdiPlusRenderer::PathFill(const IColor& color, const IBlend* blend)
{
    if (!mImpl->g)
        return;
    mImpl->Fill(*mImpl->path, color, blend);
    PathClear();
}

void GdiPlusRenderer::PathStroke(const IColor& color, float thickness, bool keepPath, const IBlend* blend)
{
    if (!mImpl->g)
        return;
    if (Finite(thickness) && thickness > 0.f)
        // Bevel joins keep a jagged curve (the spectrum) free of miter spikes.
        mImpl->Stroke(*mImpl->path, color, blend, thickness, gp::LineJoinBevel);
    if (!keepPath)
        PathClear();
}

// --- Text ------------------------------------------------------------------------------------

IRECT GdiPlusRenderer::MeasureText(const IText& style, const char* str, const IRECT& rect) const
{
    const FontSlot* font = mImpl->FindFont(style.FontId());
    TextLayout layout;
    if (font && mImpl->Layout(*font, style, Widen(str), rect, layout))
        return layout.box;
    return draw::AlignmentPoint(style, rect); // unknown font: an empty extent
}

void GdiPlusRenderer::DrawText(const IText& style, const char* str, const IRECT& rect, const IBlend* blend)
{
    if (!mImpl->g || !str || str[0] == '\0')
        return;
    const FontSlot* font = mImpl->FindFont(style.FontId());
    const std::wstring text = Widen(str);
    TextLayout layout;
    if (!font || text.empty() || !mImpl->Layout(*font, style, text, rect, layout))
        return;
    gp::Font f(font->family.get(), style.size, gp::FontStyleRegular, gp::UnitPixel);
    if (f.GetLastStatus() != gp::Ok)
        return;
    gp::Graphics& g = *mImpl->g;
    const gp::GraphicsState saved = g.Save();
    if (Finite(style.angle) && style.angle != 0.f)
    {
        const float cx = layout.box.MW();
        const float cy = layout.box.MH();
        g.TranslateTransform(cx, cy);
        g.RotateTransform(style.angle);
        g.TranslateTransform(-cx, -cy);
    }
    gp::SolidBrush brush(ToColor(style.fgColor, blend));
    g.DrawString(text.c_str(), static_cast<INT>(text.size()), &f, gp::PointF(layout.box.left, layout.box.top),
                 mImpl->typographic.get(), &brush);
    g.Restore(saved);
}

// --- Bitmaps ---------------------------------------------------------------------------------

void GdiPlusRenderer::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& rect, const IBlend* blend)
{
    const auto* image = dynamic_cast<const GdiPlusBitmap*>(bitmap.GetAPIBitmap());
    const float weight = IBlend::Weight(blend);
    if (!mImpl->g || !image || !image->bitmap || !bitmap.IsValid() || !Drawable(rect) || weight <= 0.f)
        return;
    const INT bw = static_cast<INT>(image->bitmap->GetWidth());
    const INT bh = static_cast<INT>(image->bitmap->GetHeight());
    gp::ImageAttributes attributes;
    // Mirrored tiling stands in for padding: the outermost pixels do not fade into transparency.
    attributes.SetWrapMode(gp::WrapModeTileFlipXY);
    if (weight < 1.f)
    {
        gp::ColorMatrix m = {{{1.f, 0.f, 0.f, 0.f, 0.f},
                              {0.f, 1.f, 0.f, 0.f, 0.f},
                              {0.f, 0.f, 1.f, 0.f, 0.f},
                              {0.f, 0.f, 0.f, weight, 0.f},
                              {0.f, 0.f, 0.f, 0.f, 1.f}}};
        attributes.SetColorMatrix(&m);
    }
    mImpl->g->DrawImage(image->bitmap.get(), ToRectF(rect), 0.f, 0.f, static_cast<float>(bw), static_cast<float>(bh),
                        gp::UnitPixel, &attributes);
}

// --- Resources -------------------------------------------------------------------------------

bool GdiPlusRenderer::LoadFont(const char* fontId, const void* data, std::size_t size)
{
    if (!mImpl->Ready() || !fontId || fontId[0] == '\0')
        return false;
    IText probe;
    probe.SetFont(fontId);
    if (mImpl->FindFont(probe.FontId()))
        return true;
    if (!data || size == 0 || size > static_cast<std::size_t>(INT_MAX))
        return false;
    auto slot = std::make_unique<FontSlot>();
    slot->id = std::string(probe.FontId());
    slot->bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
    slot->collection = std::make_unique<gp::PrivateFontCollection>();
    if (slot->collection->AddMemoryFont(slot->bytes.data(), static_cast<INT>(slot->bytes.size())) != gp::Ok ||
        slot->collection->GetFamilyCount() < 1)
        return false;
    slot->family = std::make_unique<gp::FontFamily>();
    INT found = 0;
    if (slot->collection->GetFamilies(1, slot->family.get(), &found) != gp::Ok || found != 1 ||
        !slot->family->IsStyleAvailable(gp::FontStyleRegular))
        return false;
    const float em = slot->family->GetEmHeight(gp::FontStyleRegular);
    if (em <= 0.f)
        return false;
    slot->ascent = slot->family->GetCellAscent(gp::FontStyleRegular) / em;
    slot->descent = slot->family->GetCellDescent(gp::FontStyleRegular) / em;
    mImpl->fonts.push_back(std::move(slot));
    return true;
}

bool GdiPlusRenderer::HasFont(const char* fontId) const
{
    if (!fontId)
        return false;
    IText probe;
    probe.SetFont(fontId);
    return mImpl->FindFont(probe.FontId()) != nullptr;
}

IBitmap GdiPlusRenderer::LoadBitmap(const void* data, std::size_t size, float scale)
{
    if (!mImpl->Ready() || !data || !IsPng(data, size) || size > static_cast<std::size_t>(UINT_MAX) ||
        !Finite(scale) || scale <= 0.f)
        return {};
    IStream* stream = ::SHCreateMemStream(static_cast<const BYTE*>(data), static_cast<UINT>(size));
    if (!stream)
        return {};
    auto image = std::make_shared<GdiPlusBitmap>();
    image->session = mImpl->session;
    {
        // The decoded image reads from the stream while it lives: copy its pixels out, then let both go.
        std::unique_ptr<gp::Bitmap> decoded(gp::Bitmap::FromStream(stream));
        const bool ok = decoded && decoded->GetLastStatus() == gp::Ok;
        const INT w = ok ? static_cast<INT>(decoded->GetWidth()) : 0;
        const INT h = ok ? static_cast<INT>(decoded->GetHeight()) : 0;
        if (w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide)
        {
            image->pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0u);
            gp::BitmapData bits;
            bits.Width = static_cast<UINT>(w);
            bits.Height = static_cast<UINT>(h);
            bits.Stride = 4 * w;
            bits.PixelFormat = PixelFormat32bppPARGB;
            bits.Scan0 = image->pixels.data();
            bits.Reserved = 0;
            gp::Rect all(0, 0, w, h);
            if (decoded->LockBits(&all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                                  PixelFormat32bppPARGB, &bits) == gp::Ok)
            {
                decoded->UnlockBits(&bits);
                image->bitmap = std::make_unique<gp::Bitmap>(w, h, 4 * w, PixelFormat32bppPARGB,
                                                             reinterpret_cast<BYTE*>(image->pixels.data()));
                if (image->bitmap->GetLastStatus() != gp::Ok)
                    image->bitmap.reset();
            }
        }
    }
    stream->Release();
    if (!image->bitmap)
        return {};
    const int w = static_cast<int>(image->bitmap->GetWidth());
    const int h = static_cast<int>(image->bitmap->GetHeight());
    return IBitmap(std::move(image), w, h, scale);
}

} // namespace igraphics
