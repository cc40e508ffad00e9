#pragma once
// A small plug-in for the toolkit tests: a few parameters of every kind, a record of the host
// notifications the editor causes (begin, perform, end edit; resize), and a fake platform window
// that remembers what the context asked of it.

#include "framework/IGraphics.h"
#include "framework/IGraphicsWindow.h"
#include "framework/IPlugAPIBase.h"

#include <string>
#include <vector>

namespace ringstill::test {

enum ToolkitTestParam
{
    kParamGain = 0,  // Double -24..24 dB, step 0.1
    kParamAmount,    // Double 0..100 %, step 1, not stepped
    kParamHold,      // Bool with "off"/"on"
    kParamMode,      // Enum "Low", "Mid", "High"
    kParamDetent,    // Double 0..100, step 25, Stepped
    kParamRaw,       // Double 0..1, step 1, Stepped: two values but no display texts
    kNumToolkitTestParams
};

inline iplug::PluginConfig ToolkitTestConfig()
{
    iplug::PluginConfig config;
    config.nParams = kNumToolkitTestParams;
    config.nPresets = 1;
    config.pluginName = "ToolkitTest";
    config.hasEditor = true;
    config.editorWidth = 400;
    config.editorHeight = 300;
    config.minWidth = 200;
    config.maxWidth = 800;
    config.minHeight = 150;
    config.maxHeight = 600;
    return config;
}

class ToolkitTestDelegate : public iplug::IPlugAPIBase
{
public:
    ToolkitTestDelegate() : IPlugAPIBase(ToolkitTestConfig())
    {
        GetParam(kParamGain)->DefineDouble("Gain", 0, -24, 24, 0.1, "dB");
        GetParam(kParamAmount)->DefineDouble("Amount", 50, 0, 100, 1, "%");
        GetParam(kParamHold)->DefineBool("Hold");
        GetParam(kParamMode)->DefineEnum("Mode", 1, 3, "", iplug::ParamFlags::None, "", {"Low", "Mid", "High"});
        GetParam(kParamDetent)->DefineDouble("Detent", 0, 0, 100, 25, "", iplug::ParamFlags::Stepped);
        GetParam(kParamRaw)->DefineDouble("Raw", 0, 0, 1, 1, "", iplug::ParamFlags::Stepped);
    }

    void BeginHostEdit(int index) override { log.push_back("begin " + std::to_string(index)); }
    void HostEdit(int index, double normalised) override
    {
        log.push_back("edit " + std::to_string(index));
        edits.push_back({index, normalised});
    }
    void EndHostEdit(int index) override { log.push_back("end " + std::to_string(index)); }
    bool ResizeEditor(int width, int height) override
    {
        resizes.push_back({width, height});
        return IPlugAPIBase::ResizeEditor(width, height);
    }

    struct Edit
    {
        int index;
        double value;
    };
    struct Size
    {
        int width;
        int height;
    };
    std::vector<std::string> log;
    std::vector<Edit> edits;
    std::vector<Size> resizes;
};

class FakeWindow : public igraphics::IGraphicsWindow
{
public:
    bool OpenURL(const char* url) override
    {
        urls.emplace_back(url);
        return true;
    }
    void InvalidateRect(const igraphics::IRECT& area) override { invalidated.push_back(area); }
    void SetMouseCursor(igraphics::ECursor c) override { cursor = c; }
    void HideMouseCursor(bool hide) override { cursorHidden = hide; }
    void WindowResized(int w, int h) override
    {
        pixelWidth = w;
        pixelHeight = h;
    }

    std::vector<std::string> urls;
    std::vector<igraphics::IRECT> invalidated;
    igraphics::ECursor cursor = igraphics::ECursor::Arrow;
    bool cursorHidden = false;
    int pixelWidth = 0;
    int pixelHeight = 0;
};

// A control that counts what reaches it and draws a filled rectangle.
class ProbeControl : public igraphics::IControl
{
public:
    using igraphics::IControl::IControl;

    void OnMouseDown(float x, float y, const igraphics::IMouseMod&) override { events.push_back(Event("down", x, y)); }
    void OnMouseUp(float x, float y, const igraphics::IMouseMod&) override { events.push_back(Event("up", x, y)); }
    void OnMouseDrag(float x, float y, float, float, const igraphics::IMouseMod&) override
    {
        events.push_back(Event("drag", x, y));
    }
    void OnMouseWheel(float x, float y, const igraphics::IMouseMod&, float) override
    {
        events.push_back(Event("wheel", x, y));
    }
    void Draw(igraphics::IGraphicsRenderer& g) override
    {
        ++draws;
        g.FillRect(color, mRECT, GetBlend());
    }

    static std::string Event(const char* what, float x, float y)
    {
        return std::string(what) + " " + std::to_string(int(x)) + "," + std::to_string(int(y));
    }

    std::vector<std::string> events;
    int draws = 0;
    igraphics::IColor color{255, 200, 40, 40};
};

} // namespace ringstill::test
