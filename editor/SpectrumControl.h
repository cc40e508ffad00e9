// SpectrumControl: the live spectrum with the notch responses and one handle per
// active notch; press selects, drag moves, wheel changes the width, double-click on
// empty space adds a manual notch. Reads the feed's views once per draw. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IControl.h"

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
    EditorFeed& feed;
    double sampleRate = 48000.0;
    float binWidthHz = 0.0f;
    std::int32_t dragIndex = -1;
    std::vector<float> spectrumCopy;
    std::vector<NotchView> viewCopy;
};

// Response in dB at f of the peaking cut at f0 with Q and depth, at sample rate fs.
float NotchResponseDb(double f, double f0, double q, double depthDb, double fs);

} // namespace ringstill
