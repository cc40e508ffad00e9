// MeterControl: a peak meter from -60 to +6 dB with its label and value. UI thread.
#pragma once

#include "effect/EditorFeed.h"
#include "framework/IControl.h"

namespace ringstill {

class MeterControl : public igraphics::IControl
{
public:
    MeterControl(const igraphics::IRECT& bounds, EditorFeed& feed, bool isOutput, const char* label);

    void Draw(igraphics::IGraphicsRenderer& g) override;

    // The bar area and the y of a level in dB on it.
    igraphics::IRECT BarRect() const;
    float YOfDb(float db) const;
    // The level in dB the next draw shows (-100 for silence).
    float LevelDb() const;

private:
    EditorFeed& feed;
    bool isOutput;
    const char* label;
};

// The meter's value text: "-inf" at or below -60 dB (and for NaN), "inf" for an infinite
// level, else the dB truncated toward zero.
void FormatMeterValue(float db, char* out, int size);

} // namespace ringstill
