#pragma once
// The button and modifier state that comes with every mouse event: left and right button,
// shift, control and alt. Plain value.

namespace igraphics {

struct IMouseMod
{
    bool L = false;
    bool R = false;
    bool S = false; // shift
    bool C = false; // control (command on a Mac keyboard)
    bool A = false; // alt

    constexpr IMouseMod() = default;
    constexpr IMouseMod(bool left, bool right = false, bool shift = false, bool control = false, bool alt = false)
        : L(left), R(right), S(shift), C(control), A(alt)
    {}
};

} // namespace igraphics
