#pragma once
// A key event as the toolkit sees it: the typed character (UTF-8, may be empty), the key as a
// virtual-key code, and the modifiers. The codes are the toolkit's own and have the values of
// Windows virtual-key codes, so the Windows window passes its codes through unchanged and the
// other windows (X11, the VST 3 view's key events) translate into them.

namespace igraphics {

enum EVirtualKey : int
{
    kVK_NONE = 0x00,
    kVK_BACK = 0x08,
    kVK_TAB = 0x09,
    kVK_CLEAR = 0x0C,
    kVK_RETURN = 0x0D,
    kVK_SHIFT = 0x10,
    kVK_CONTROL = 0x11,
    kVK_MENU = 0x12, // alt
    kVK_PAUSE = 0x13,
    kVK_CAPITAL = 0x14,
    kVK_ESCAPE = 0x1B,
    kVK_SPACE = 0x20,
    kVK_PRIOR = 0x21, // page up
    kVK_NEXT = 0x22,  // page down
    kVK_END = 0x23,
    kVK_HOME = 0x24,
    kVK_LEFT = 0x25,
    kVK_UP = 0x26,
    kVK_RIGHT = 0x27,
    kVK_DOWN = 0x28,
    kVK_SELECT = 0x29,
    kVK_PRINT = 0x2A,
    kVK_SNAPSHOT = 0x2C,
    kVK_INSERT = 0x2D,
    kVK_DELETE = 0x2E,
    kVK_HELP = 0x2F,
    kVK_0 = 0x30, // '0'..'9' are 0x30..0x39
    kVK_A = 0x41, // 'A'..'Z' are 0x41..0x5A
    kVK_NUMPAD0 = 0x60, // ..0x69
    kVK_MULTIPLY = 0x6A,
    kVK_ADD = 0x6B,
    kVK_SEPARATOR = 0x6C,
    kVK_SUBTRACT = 0x6D,
    kVK_DECIMAL = 0x6E,
    kVK_DIVIDE = 0x6F,
    kVK_F1 = 0x70, // ..kVK_F24 = 0x87
    kVK_F24 = 0x87,
    kVK_NUMLOCK = 0x90,
    kVK_SCROLL = 0x91,
};

struct IKeyPress
{
    static constexpr int kUtf8Capacity = 8;

    char utf8[kUtf8Capacity] = {}; // the typed character, NUL-terminated; empty for non-text keys
    int vk = kVK_NONE;
    bool S = false;
    bool C = false;
    bool A = false;

    constexpr IKeyPress() = default;
    constexpr IKeyPress(const char* character, int virtualKey, bool shift = false, bool control = false,
                        bool alt = false)
        : vk(virtualKey), S(shift), C(control), A(alt)
    {
        int i = 0;
        for (; character && character[i] != '\0' && i < kUtf8Capacity - 1; ++i)
            utf8[i] = character[i];
        for (; i < kUtf8Capacity; ++i)
            utf8[i] = '\0';
    }

    // A key of a UTF-16 event (the VST 3 view's): one code unit, as UTF-8; surrogate halves and
    // control characters carry no character alone.
    static constexpr IKeyPress FromUtf16(char16_t character, int virtualKey, bool shift = false,
                                         bool control = false, bool alt = false)
    {
        IKeyPress press(nullptr, virtualKey, shift, control, alt);
        const char32_t c = character;
        int n = 0;
        if (c >= 0x20 && c < 0x80)
            press.utf8[n++] = char(c);
        else if (c >= 0x80 && c < 0x800)
        {
            press.utf8[n++] = char(0xC0 | (c >> 6));
            press.utf8[n++] = char(0x80 | (c & 0x3F));
        }
        else if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF))
        {
            press.utf8[n++] = char(0xE0 | (c >> 12));
            press.utf8[n++] = char(0x80 | ((c >> 6) & 0x3F));
            press.utf8[n++] = char(0x80 | (c & 0x3F));
        }
        return press;
    }

    // True when the event carries a character worth inserting into a text field.
    constexpr bool IsText() const { return static_cast<unsigned char>(utf8[0]) >= 0x20 && utf8[0] != 0x7F; }
};

} // namespace igraphics
