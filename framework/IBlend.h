#pragma once
// Blend of one drawing call: the weight multiplies the colour's alpha (1 = as given, 0 = invisible).
// Disabled controls draw with a weight of 0.25. Drawing calls take an optional pointer; null means 1.

namespace igraphics {

struct IBlend
{
    float weight = 1.f;

    constexpr IBlend() = default;
    constexpr explicit IBlend(float w) : weight(w) {}

    // The factor a renderer applies, clamped to 0..1; a missing blend is full weight.
    static constexpr float Weight(const IBlend* blend)
    {
        if (!blend)
            return 1.f;
        const float w = blend->weight;
        return w > 0.f ? (w < 1.f ? w : 1.f) : 0.f; // NaN also ends up at 0: draw nothing rather than garbage
    }
};

} // namespace igraphics
