// The GDI+ renderer (under wine in CI) drawn offscreen and checked pixel by pixel, with the
// embedded Roboto font and logo: the contract every renderer keeps
// (tests/support/RendererContract.h). The pictures land in the build tree (test-output/graphics)
// for a look by eye.

#include "graphics/GdiPlusRenderer.h"
#include "tests/support/RendererContract.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace igraphics;
using namespace ringstill::test;

namespace {

struct GdiPlusTraits
{
    using Renderer = GdiPlusRenderer;
    static constexpr const char* kName = "GdiPlus";
    // GDI+ (and wine's in particular) anti-aliases more coarsely than cairo: a few per cent of a
    // shape's area. Wine measures text in whole pixels and may place a scaled image up to a pixel
    // off at its edges.
    static constexpr RendererSlack kSlack{0.06 * 3.14159 * 20 * 20, 0.02 * 0.5 * 160 * 100, 5.f, 0.025f, 1, 201};

    // An opaque PNG of one colour, encoded by the renderer through a file and read back.
    static std::vector<unsigned char> SolidPng(int w, int h, const IColor& c)
    {
        GdiPlusRenderer painter;
        painter.CreateOffscreen(w, h);
        painter.ClearTargetTo(c);
        const std::string path = OutputPath("solid.png");
        painter.WritePng(path.c_str());
        std::ifstream in(path, std::ios::binary);
        return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static bool HoldsATarget(const Renderer& r) { return r.TargetPixels() != nullptr; }
};

} // namespace

INSTANTIATE_RENDERER_CONTRACT(GdiPlusTraits);
