#pragma once
// IVSliderControl: a vector slider, horizontal (left to right) or vertical (bottom to top),
// with a track, a filled value part and a round handle, plus optional label and value text.
// Without the Stepped flag a press jumps to the pointer and dragging follows it along the track,
// quantised to 0.001; the wheel adds 0.01 per unit of delta (0.001 with shift or control) or one
// step of a stepped parameter. Every change is marked dirty with action; release redraws.
// UI thread only.

#include "framework/IControl.h"
#include "framework/IVectorBase.h"

#include <string>

namespace igraphics {

enum class EDirection
{
    Vertical,
    Horizontal,
};

class IVSliderControl : public IControl, public IVectorBase
{
public:
    static constexpr double kDragQuantum = 0.001;
    static constexpr double kWheelStep = 0.01;
    static constexpr double kFineWheelStep = 0.001;

    IVSliderControl(const IRECT& bounds, int paramIdx = kNoParameter, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, EDirection dir = EDirection::Vertical,
                    float handleSize = 8.f, float trackSize = 2.f);
    // Unbound, with an action function.
    IVSliderControl(const IRECT& bounds, IActionFunction action, const char* label = "",
                    const VectorStyle& style = kDefaultStyle, EDirection dir = EDirection::Vertical,
                    float handleSize = 8.f, float trackSize = 2.f);

    void OnMouseDown(float x, float y, const IMouseMod& mod) override;
    void OnMouseUp(float x, float y, const IMouseMod& mod) override;
    void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
    void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
    void OnResize() override;
    void Draw(IGraphicsRenderer& g) override;

    EDirection GetDirection() const { return mDirection; }
    float GetHandleSize() const { return mHandleSize; }
    float GetTrackSize() const { return mTrackSize; }
    // The track the pointer maps onto; the handle's centre runs from one end to the other.
    const IRECT& GetTrackBounds() const { return mTrackBounds; }
    // The normalised value a pointer position stands for (not quantised).
    double ValueForPosition(float x, float y) const;
    // The value text (display text and label of the parameter, or the number).
    std::string ValueText() const;

private:
    void SnapToMouse(float x, float y, bool always);
    bool IsStepped() const;

    EDirection mDirection;
    float mHandleSize;
    float mTrackSize;
    IRECT mTrackBounds;
    bool mDragging = false;
};

} // namespace igraphics
