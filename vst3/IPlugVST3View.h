// IPlugVST3View: the editor view the host embeds in its window. It sizes itself from the plug-in's
// editor size, answers the host's size questions, forwards keys and the content scale, and keeps
// the editor's size and scale in the plug-in across closing and reopening. The editor window
// itself is opened and closed through the plug-in's editor window hooks (IPlugVST3); when a
// host's frame is there but the window cannot be opened in it (no run loop on Linux, no display,
// a parent window that does not exist), attached fails and leaves nothing open.
//
// Reference counted (created with one reference by createView); holds a reference to the plug-in
// while it exists. UI thread only.
#pragma once

#include "vst3/IPlugVST3.h"

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "public.sdk/source/common/pluginview.h"

namespace iplug {

// The host window type the view embeds into on this platform.
#if SMTG_OS_WINDOWS
inline constexpr char kEditorPlatformType[] = "HWND";
#else
inline constexpr char kEditorPlatformType[] = "X11EmbedWindowID";
#endif

// The framework's key code (a Windows virtual-key code) for a VST 3 virtual key code; character
// keys (code 0) take the key of their character in the keyboard layout.
int VirtualKeyFromVst3(char16_t character, int keyCode);

class IPlugVST3View final : public Steinberg::CPluginView, public Steinberg::IPlugViewContentScaleSupport
{
public:
    explicit IPlugVST3View(IPlugVST3& plug);
    ~IPlugVST3View() override;

    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
    Steinberg::tresult PLUGIN_API canResize() override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
    Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                            Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
    // IPlugViewContentScaleSupport
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return CPluginView::addRef(); }
    Steinberg::uint32 PLUGIN_API release() override { return CPluginView::release(); }

    // Asks the host's frame to give the view this size; false without a frame or when refused.
    bool RequestResize(int width, int height);
    // The host's frame as set by setFrame, or nullptr.
    Steinberg::IPlugFrame* Frame() const { return plugFrame; }

private:
    Steinberg::tresult Attach(void* parent, Steinberg::FIDString type);
    Steinberg::tresult Remove();
    Steinberg::tresult OnKey(Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers, bool isUp);
    bool IsOurPlatformType(Steinberg::FIDString type) const;

    IPlugVST3& plug;
    bool closing = false;
    bool editorOpen = false;
};

} // namespace iplug
