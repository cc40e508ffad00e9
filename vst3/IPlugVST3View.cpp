#include "vst3/IPlugVST3View.h"

#include "vst3/Guard.h"

#include <cmath>
#include <cstring>

#if SMTG_OS_WINDOWS
#include <windows.h>
#endif

using namespace Steinberg;
using ringstill::vst3::Guarded;

namespace iplug {
namespace {

constexpr int kVst3SpaceKey = 7;
constexpr int16 kShiftModifier = 0x1;
constexpr int16 kAltModifier = 0x2;
constexpr int16 kControlModifier = 0x4;

// The key of a character on the keyboard: the layout's own answer on Windows, the US layout's
// keys elsewhere (letters and digits are their upper-case ASCII codes, punctuation the OEM keys).
int KeyOfCharacter(char16_t character)
{
#if SMTG_OS_WINDOWS
    if (character > 0 && character < 0x80)
        return VkKeyScanExA(char(character), GetKeyboardLayout(0)) & 0xFF;
    return 0;
#else
    if (character >= 'a' && character <= 'z')
        return character - 'a' + 'A';
    if ((character >= 'A' && character <= 'Z') || (character >= '0' && character <= '9') || character == ' ')
        return character;
    switch (character)
    {
    case ';': case ':': return 0xBA;
    case '=': case '+': return 0xBB;
    case ',': case '<': return 0xBC;
    case '-': case '_': return 0xBD;
    case '.': case '>': return 0xBE;
    case '/': case '?': return 0xBF;
    case '`': case '~': return 0xC0;
    case '[': case '{': return 0xDB;
    case '\\': case '|': return 0xDC;
    case ']': case '}': return 0xDD;
    case '\'': case '"': return 0xDE;
    default: return 0;
    }
#endif
}

} // namespace

int VirtualKeyFromVst3(char16_t character, int keyCode)
{
    if (keyCode == 0 || keyCode == 57)
        return KeyOfCharacter(character);
    if (keyCode >= 24 && keyCode <= 51)
        return 96 + (keyCode - 24); // numeric pad and function keys, in the same order
    switch (keyCode)
    {
    case 1: return 8;   // back
    case 2: return 9;   // tab
    case 3: return 12;  // clear
    case 4: case 19: return 13; // return, enter
    case 5: return 19;  // pause
    case 6: return 27;  // escape
    case 7: return 32;  // space
    case 8: case 16: return 34; // next, page down
    case 9: return 35;  // end
    case 10: return 36; // home
    case 11: return 37; // left
    case 12: return 38; // up
    case 13: return 39; // right
    case 14: return 40; // down
    case 15: return 33; // page up
    case 17: return 41; // select
    case 18: return 42; // print
    case 20: return 44; // snapshot
    case 21: return 45; // insert
    case 22: return 46; // delete
    case 23: return 47; // help
    case 52: return 144; // num lock
    case 53: return 145; // scroll lock
    case 54: return 16;  // shift
    case 55: return 17;  // control
    case 56: return 18;  // alt
    default: return keyCode < 128 ? 0 : keyCode - 80;
    }
}

IPlugVST3View::IPlugVST3View(IPlugVST3& plug) : plug(plug)
{
    plug.addRef();
    plug.SetView(this);
    rect = ViewRect(0, 0, plug.EditorWidth(), plug.EditorHeight());
}

IPlugVST3View::~IPlugVST3View()
{
    // A host that lets go without removed still gets its window closed.
    if (editorOpen)
        removed();
    if (plug.GetView() == this)
        plug.SetView(nullptr);
    plug.release();
}

bool IPlugVST3View::IsOurPlatformType(FIDString type) const
{
    return type != nullptr && std::strcmp(type, kEditorPlatformType) == 0;
}

tresult PLUGIN_API IPlugVST3View::isPlatformTypeSupported(FIDString type)
{
    return plug.HasEditor() && IsOurPlatformType(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::attached(void* parent, FIDString type)
{
    return Guarded(
        kResultFalse, [&] { return Attach(parent, type); },
        // Whatever opened before the failure closes again: the host sees no editor.
        [&] {
            plug.CloseEditorWindow();
            plug.CloseEditor();
            editorOpen = false;
        });
}

tresult IPlugVST3View::Attach(void* parent, FIDString type)
{
    if (!plug.HasEditor())
        return kResultFalse;
    if (!IsOurPlatformType(type))
        return kResultOk;
    plug.OpenEditor();
    const int width = plug.ClosedWidth();
    const int height = plug.ClosedHeight();
    const float scale = plug.ClosedScale();
    if (width != 0 && height != 0 && scale != 0.0f)
    {
        plug.SetEditorSize(width, height);
        plug.SetEditorScale(scale);
        if (plug.GetUI() != nullptr)
            plug.ResizeEditorContext(width, height, scale);
    }
    rect = ViewRect(0, 0, plug.EditorWidth(), plug.EditorHeight());
    plug.OpenEditorWindow(parent);
    if (plug.EditorWindowFailed())
    {
        // The host learns that no editor shows, and the next attempt starts from the same size.
        plug.RememberClosedEditor(plug.EditorWidth(), plug.EditorHeight(), plug.EditorScale());
        plug.CloseEditorWindow();
        plug.CloseEditor();
        return kResultFalse;
    }
    editorOpen = true;
    return CPluginView::attached(parent, type);
}

tresult PLUGIN_API IPlugVST3View::removed()
{
    return Guarded(
        kInternalError, [&] { return Remove(); },
        [&] {
            plug.CloseEditorWindow();
            plug.CloseEditor();
            editorOpen = false;
            closing = false;
            CPluginView::removed();
        });
}

tresult IPlugVST3View::Remove()
{
    if (plug.HasEditor() && !closing && editorOpen)
    {
        closing = true;
        plug.RememberClosedEditor(plug.EditorWidth(), plug.EditorHeight(), plug.EditorScale());
        plug.CloseEditorWindow();
        plug.CloseEditor();
        editorOpen = false;
        closing = false;
    }
    return CPluginView::removed();
}

tresult PLUGIN_API IPlugVST3View::getSize(ViewRect* size)
{
    if (!plug.HasEditor())
        return kResultFalse;
    if (size == nullptr)
        return kInvalidArgument;
    *size = ViewRect(0, 0, plug.EditorWidth(), plug.EditorHeight());
    return kResultOk;
}

tresult PLUGIN_API IPlugVST3View::canResize()
{
    return plug.HasEditor() && plug.IsHostResizable() ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::onSize(ViewRect* newSize)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (newSize == nullptr || !plug.IsHostResizable())
            return kResultFalse;
        rect = *newSize;
        const float scale = plug.EditorScale() > 0.0f ? plug.EditorScale() : 1.0f;
        const int width = int(std::lround(newSize->getWidth() / scale));
        const int height = int(std::lround(newSize->getHeight() / scale));
        plug.SetEditorSize(width, height);
        if (plug.GetUI() != nullptr)
            plug.ResizeEditorContext(width, height, scale);
        return kResultTrue;
    });
}

tresult PLUGIN_API IPlugVST3View::checkSizeConstraint(ViewRect* size)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (size == nullptr)
            return kInvalidArgument;
        int width = size->getWidth();
        int height = size->getHeight();
        if (!plug.ConstrainEditorSize(width, height))
        {
            size->right = size->left + width;
            size->bottom = size->top + height;
        }
        return kResultOk;
    });
}

tresult IPlugVST3View::OnKey(char16 key, int16 keyCode, int16 modifiers, bool isUp)
{
    if (!plug.HasEditor())
        return kResultFalse;
    char16_t character = char16_t(key);
    int virtualKey = VirtualKeyFromVst3(character, keyCode);
    if (plug.GetHost() == kHostReaper)
    {
        // Reaper wants every key but the space bar for its own shortcuts.
        if (keyCode != kVst3SpaceKey)
            return kResultFalse;
        character = u' ';
        virtualKey = igraphics::kVK_SPACE;
    }
    const auto press = igraphics::IKeyPress::FromUtf16(character, virtualKey, (modifiers & kShiftModifier) != 0,
                                                       (modifiers & kControlModifier) != 0,
                                                       (modifiers & kAltModifier) != 0);
    return plug.OnEditorKey(press, isUp) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers)
{
    return Guarded(kResultFalse, [&]() -> tresult { return OnKey(key, keyCode, modifiers, false); });
}

tresult PLUGIN_API IPlugVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers)
{
    return Guarded(kResultFalse, [&]() -> tresult { return OnKey(key, keyCode, modifiers, true); });
}

tresult PLUGIN_API IPlugVST3View::setContentScaleFactor(ScaleFactor factor)
{
    return Guarded(kInternalError, [&]() -> tresult {
        // Kept even before the window opens: hosts often tell the scale first.
        if (!std::isfinite(factor) || factor <= 0.0f)
            return kResultOk;
        plug.SetEditorScale(factor);
        if (plug.GetUI() != nullptr)
            plug.ResizeEditorContext(plug.EditorWidth(), plug.EditorHeight(), factor);
        return kResultOk;
    });
}

tresult PLUGIN_API IPlugVST3View::queryInterface(const TUID iid, void** obj)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (obj == nullptr)
            return kInvalidArgument;
        QUERY_INTERFACE(iid, obj, IPlugViewContentScaleSupport::iid, IPlugViewContentScaleSupport)
        return CPluginView::queryInterface(iid, obj);
    });
}

bool IPlugVST3View::RequestResize(int width, int height)
{
    if (plugFrame == nullptr)
        return false;
    ViewRect size(0, 0, width, height);
    return plugFrame->resizeView(this, &size) == kResultTrue;
}

} // namespace iplug
