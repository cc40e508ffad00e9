// SpectrumControl: the live spectrum with the notch responses and one handle per
// active notch; press selects, drag moves, wheel changes the width, double-click on
// empty space adds a manual notch. Reads the feed's views once per draw. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IControl.h"
#include "framework/IGraphicsRenderer.h"

#include <cstdint>
#include <vector>

namespace ringstill {

class SpectrumControl : public igraphics::IControl
{
public:
    SpectrumControl(const igraphics::IRECT& bounds, EditorFeed& feed);

    void OnMouseDown(float x, float y, const igraphics::IMouseMod& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY, const igraphics::IMouseMod& mod) override;
    void OnMouseDblClick(float x, float y, const igraphics::IMouseMod& mod) override;
    void OnMouseWheel(float x, float y, const igraphics::IMouseMod& mod, float d) override;
    void Draw(igraphics::IGraphicsRenderer& g) override;

    // Slot of the nearest active handle less than 16 pixels away, or -1.
    std::int32_t FindHandle(float x, float y) const;

    // Geometry of the plot, from the current rectangle and the last sample rate.
    float PlotWidth() const;
    float PlotHeight() const;
    float TopFrequency() const;
    float XOfFrequency(float f) const;
    float YOfDb(float g) const;
    float FrequencyOfX(float x) const;
    float DbOfY(float y) const;

    std::int32_t DragIndex() const { return dragIndex; }
    const std::vector<NotchView>& Views() const { return viewCopy; }

private:
    // The layers of a frame, from the back.
    void DrawGridAndLabels(igraphics::IGraphicsRenderer& g) const;
    void DrawSpectrum(igraphics::IGraphicsRenderer& g) const;
    void DrawResponse(igraphics::IGraphicsRenderer& g);
    void DrawHandles(igraphics::IGraphicsRenderer& g, std::int32_t selected) const;

    EditorFeed& feed;
    double sampleRate = 48000.0;
    float binWidthHz = 0.0f;
    std::int32_t dragIndex = -1;
    std::vector<float> spectrumCopy;
    std::vector<NotchView> viewCopy;

    // What stays the same from frame to frame, kept with what it was made from.
    igraphics::ILayerPtr gridLayer; // background, grid and labels
    igraphics::IRECT gridRect;
    float gridTop = 0.0f;
    igraphics::ILayerPtr responseLayer; // the summed responses' curve
    std::vector<float> responseY;       // its points, one per column
    std::vector<NotchView> responseViews;
    igraphics::IRECT responseRect;
    double responseRate = 0.0;
    bool responseValid = false;
};

// Response in dB at f of the peaking cut at f0 with Q and depth, at sample rate fs.
float NotchResponseDb(double f, double f0, double q, double depthDb, double fs);

} // namespace ringstill
