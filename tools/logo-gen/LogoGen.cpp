// Draws the Ringstill logo (250 x 201, transparent background) into a PNG file.
// The emblem: a ring holding a tone that rings on the left and is stilled at the gold notch
// handle, then the word mark. Colours come from the editor's palette so the logo sits well on
// its background (38, 45, 56).
//
// Usage: ringstill_logo_gen OUTPUT.png [--preview PREVIEW.png] [--fonts DIR]
// The preview shows the logo at twice its size and at the editor's size on the editor background.
// DIR holds Roboto-Medium.ttf and Roboto-Regular.ttf (Debian's fonts-roboto-hinted by default).

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 250;
constexpr int kHeight = 201;
constexpr double kPi = 3.14159265358979323846;

// Emblem geometry.
constexpr double kCx = 125.0;
constexpr double kCy = 70.0;
constexpr double kRing = 58.0; // centre line of the ring
constexpr double kRingWidth = 5.0;

struct Rgb
{
    double r, g, b;
};
constexpr Rgb Hex(int r, int g, int b)
{
    return {r / 255.0, g / 255.0, b / 255.0};
}

constexpr Rgb kCyan = Hex(64, 190, 214);
constexpr Rgb kBlue = Hex(150, 170, 236);
constexpr Rgb kGold = Hex(255, 200, 0);
constexpr Rgb kStill = Hex(220, 226, 238);
constexpr Rgb kWord = Hex(240, 242, 246);
constexpr Rgb kTag = Hex(150, 170, 196);
constexpr Rgb kDiscInner = Hex(46, 56, 72);
constexpr Rgb kDiscOuter = Hex(27, 33, 43);

void Stop(cairo_pattern_t* p, double at, Rgb c, double a = 1.0)
{
    cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, a);
}

cairo_font_face_t* LoadFace(FT_Library lib, const std::string& path)
{
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0)
    {
        std::fprintf(stderr, "ringstill_logo_gen: cannot open font %s\n", path.c_str());
        return nullptr;
    }
    return cairo_ft_font_face_create_for_ft_face(face, 0); // the face lives until the program ends
}

// Width of text set with extra tracking between letters.
double TrackedWidth(cairo_t* cr, const char* text, double tracking)
{
    double w = 0.0;
    int n = 0;
    for (const char* p = text; *p; ++p, ++n)
    {
        const char s[2] = {*p, '\0'};
        cairo_text_extents_t te;
        cairo_text_extents(cr, s, &te);
        w += te.x_advance;
    }
    return n > 1 ? w + tracking * (n - 1) : w;
}

void ShowTracked(cairo_t* cr, const char* text, double x, double y, double tracking)
{
    for (const char* p = text; *p; ++p)
    {
        const char s[2] = {*p, '\0'};
        cairo_text_extents_t te;
        cairo_text_extents(cr, s, &te);
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, s);
        x += te.x_advance + tracking;
    }
}

void DrawDisc(cairo_t* cr)
{
    cairo_pattern_t* disc = cairo_pattern_create_radial(kCx - 14, kCy - 18, 4, kCx, kCy, kRing);
    Stop(disc, 0.0, kDiscInner);
    Stop(disc, 1.0, kDiscOuter);
    cairo_arc(cr, kCx, kCy, kRing, 0, 2 * kPi);
    cairo_set_source(cr, disc);
    cairo_fill(cr);
    cairo_pattern_destroy(disc);
}

void DrawRing(cairo_t* cr)
{
    // A soft halo under the ring, then the ring in the editor's cyan running into its blue.
    cairo_arc(cr, kCx, kCy, kRing, 0, 2 * kPi);
    cairo_set_source_rgba(cr, kCyan.r, kCyan.g, kCyan.b, 0.16);
    cairo_set_line_width(cr, kRingWidth + 7);
    cairo_stroke(cr);

    cairo_pattern_t* ring = cairo_pattern_create_linear(kCx - kRing, kCy - kRing, kCx + kRing, kCy + kRing);
    Stop(ring, 0.0, kCyan);
    Stop(ring, 1.0, kBlue);
    cairo_arc(cr, kCx, kCy, kRing, 0, 2 * kPi);
    cairo_set_source(cr, ring);
    cairo_set_line_width(cr, kRingWidth);
    cairo_stroke(cr);
    cairo_pattern_destroy(ring);
}

// The tone: a ringing oscillation that dies away into a still line at the notch.
constexpr double kWaveLeft = kCx - 46;
constexpr double kStillAt = kCx + 12; // where the notch has caught the tone
constexpr double kWaveRight = kCx + 44;

double Wave(double x)
{
    if (x >= kStillAt)
        return kCy;
    const double t = (x - kWaveLeft) / (kStillAt - kWaveLeft); // 0..1
    const double envelope = 30.0 * std::pow(1.0 - t, 1.5) * std::min(1.0, t * 5.0 + 0.3);
    return kCy - envelope * std::sin(2 * kPi * 3.5 * t);
}

void DrawWave(cairo_t* cr)
{
    cairo_save(cr);
    cairo_arc(cr, kCx, kCy, kRing - kRingWidth, 0, 2 * kPi);
    cairo_clip(cr);

    cairo_move_to(cr, kWaveLeft, Wave(kWaveLeft));
    for (double x = kWaveLeft; x <= kWaveRight; x += 0.25)
        cairo_line_to(cr, x, Wave(x));

    cairo_pattern_t* tone = cairo_pattern_create_linear(kWaveLeft, 0, kWaveRight, 0);
    Stop(tone, 0.0, kCyan, 0.0);
    Stop(tone, 0.12, kCyan);
    Stop(tone, (kStillAt - kWaveLeft) / (kWaveRight - kWaveLeft), kBlue);
    Stop(tone, 0.85, kStill);
    Stop(tone, 1.0, kStill, 0.0);
    cairo_set_source(cr, tone);
    cairo_set_line_width(cr, 3.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
    cairo_pattern_destroy(tone);
    cairo_restore(cr);

    // The gold handle of an automatic notch, as the editor draws it, with a dark rim.
    cairo_arc(cr, kStillAt, kCy, 7.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, kDiscOuter.r, kDiscOuter.g, kDiscOuter.b);
    cairo_fill(cr);
    cairo_arc(cr, kStillAt, kCy, 5.5, 0, 2 * kPi);
    cairo_set_source_rgb(cr, kGold.r, kGold.g, kGold.b);
    cairo_fill(cr);
}

void DrawWordMark(cairo_t* cr, cairo_font_face_t* medium, cairo_font_face_t* regular)
{
    cairo_set_font_face(cr, medium);
    cairo_set_font_size(cr, 42);
    const double word = TrackedWidth(cr, "Ringstill", 0.6);
    cairo_set_source_rgb(cr, kWord.r, kWord.g, kWord.b);
    ShowTracked(cr, "Ringstill", kCx - word / 2, 172, 0.6);

    cairo_set_font_face(cr, regular);
    cairo_set_font_size(cr, 12.5);
    const double tag = TrackedWidth(cr, "FEEDBACK SUPPRESSOR", 2.4);
    cairo_set_source_rgb(cr, kTag.r, kTag.g, kTag.b);
    ShowTracked(cr, "FEEDBACK SUPPRESSOR", kCx - tag / 2, 193, 2.4);
}

// The logo twice its size and at the size the editor shows it (148 x 119), on the editor background.
cairo_status_t WritePreview(cairo_surface_t* logo, const char* path)
{
    constexpr double kEditorScale = 119.0 / kHeight;
    const int w = 2 * kWidth + 24 + static_cast<int>(kWidth * kEditorScale) + 24;
    const int h = 2 * kHeight + 24;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_rgb(cr, 38 / 255.0, 45 / 255.0, 56 / 255.0);
    cairo_paint(cr);
    cairo_save(cr);
    cairo_translate(cr, 12, 12);
    cairo_scale(cr, 2, 2);
    cairo_set_source_surface(cr, logo, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_translate(cr, 2 * kWidth + 36, 12);
    cairo_scale(cr, kEditorScale, kEditorScale);
    cairo_set_source_surface(cr, logo, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(out, path);
    cairo_surface_destroy(out);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    std::string preview;
    std::string fontDir = RINGSTILL_LOGO_FONT_DIR;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc)
            preview = argv[++i];
        else if (arg == "--fonts" && i + 1 < argc)
            fontDir = argv[++i];
        else if (output.empty() && arg[0] != '-')
            output = arg;
        else
            output.clear(), i = argc;
    }
    if (output.empty())
    {
        std::fprintf(stderr, "usage: ringstill_logo_gen OUTPUT.png [--preview PREVIEW.png] [--fonts DIR]\n");
        return 2;
    }
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0)
    {
        std::fprintf(stderr, "ringstill_logo_gen: FreeType did not start\n");
        return 1;
    }
    cairo_font_face_t* medium = LoadFace(lib, fontDir + "/Roboto-Medium.ttf");
    cairo_font_face_t* regular = LoadFace(lib, fontDir + "/Roboto-Regular.ttf");
    if (!medium || !regular)
        return 1;

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);

    DrawDisc(cr);
    DrawRing(cr);
    DrawWave(cr);
    DrawWordMark(cr, medium, regular);

    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_write_to_png(surface, output.c_str());
    if (status == CAIRO_STATUS_SUCCESS && !preview.empty())
        status = WritePreview(surface, preview.c_str());
    cairo_surface_destroy(surface);
    cairo_font_options_destroy(options);
    if (status != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "ringstill_logo_gen: cannot write the pictures: %s\n", cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
