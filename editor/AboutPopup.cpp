#include "editor/AboutPopup.h"

#include "effect/RingstillParams.h"
#include "framework/IGraphics.h"
#include "framework/IGraphicsRenderer.h"
#include "framework/IText.h"

#include <algorithm>
#include <cstring>

namespace ringstill {

using igraphics::EAlign;
using igraphics::EVAlign;
using igraphics::IColor;
using igraphics::IRECT;
using igraphics::IText;

namespace {

constexpr IColor kVeil{200, 12, 15, 20};
constexpr IColor kPanelFill{255, 40, 47, 60};
constexpr IColor kPanelFrame{255, 95, 110, 135};
constexpr IColor kLink{255, 130, 190, 240};
constexpr IColor kSeparator{255, 75, 86, 105};
constexpr IColor kCloseColour{255, 150, 200, 225};
constexpr IText kTitleText{28.f, IColor(255, 235, 239, 245), "Roboto-Regular", EAlign::Near, EVAlign::Middle};
constexpr IText kVersionLineText{16.f, IColor(255, 175, 183, 196), "Roboto-Regular", EAlign::Near, EVAlign::Middle};
constexpr IText kTagText{15.f, IColor(255, 175, 183, 196), "Roboto-Regular", EAlign::Near, EVAlign::Middle};
constexpr IText kCopyrightText{17.f, IColor(255, 235, 239, 245), "Roboto-Regular", EAlign::Near, EVAlign::Middle};
constexpr IText kLinkText{15.f, kLink, "Roboto-Regular", EAlign::Near, EVAlign::Middle};
constexpr IText kCloseText{16.f, kCloseColour, "Roboto-Regular", EAlign::Center, EVAlign::Middle};

constexpr const char* kTagLine = "Feedback suppressor with No-Noise and No-Reverb";

} // namespace

std::string CopyrightWithSign(const char* notice)
{
    std::string text = notice != nullptr ? notice : "";
    constexpr const char* kWord = "Copyright ";
    if (text.rfind(kWord, 0) == 0 && text.find("\xC2\xA9") == std::string::npos)
        text.insert(std::strlen(kWord), "\xC2\xA9 ");
    return text;
}

std::string ShownWebAddress(const char* address)
{
    std::string text = address != nullptr ? address : "";
    for (const char* scheme : {"https://", "http://"})
        if (text.rfind(scheme, 0) == 0)
        {
            text.erase(0, std::strlen(scheme));
            break;
        }
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

AboutPopup::AboutPopup(const IRECT& bounds) : IControl(bounds) {}

IRECT AboutPopup::DrawLink(igraphics::IGraphicsRenderer& g, const char* text, float a, float b, float c)
{
    const IRECT measured = g.MeasureText(kLinkText, text);
    const float tw = measured.right - measured.left;
    g.DrawText(kLinkText, text, IRECT(a, b, c, b + 20.0f));
    const float end = a + std::min(c - a, tw);
    g.DrawLine(kLink, a, b + 18.0f, end, b + 18.0f, nullptr, 1.0f);
    return IRECT(a, b, end + 4.0f, b + 20.0f);
}

// UI thread.
void AboutPopup::Draw(igraphics::IGraphicsRenderer& g)
{
    g.FillRect(kVeil, mRECT);
    const float cx = (mRECT.left + mRECT.right) / 2.0f;
    const float cy = (mRECT.top + mRECT.bottom) / 2.0f;
    panelRect = IRECT(cx - 260.0f, cy - 168.0f, cx + 260.0f, cy + 168.0f);
    g.FillRoundRect(kPanelFill, panelRect, 10.0f);
    g.DrawRoundRect(kPanelFrame, panelRect, 10.0f, nullptr, 1.4f);

    const float pl = panelRect.left + 24.0f;
    const float pr = panelRect.right - 24.0f;
    const float pt = panelRect.top;
    g.DrawText(kTitleText, kProductName, IRECT(pl, pt + 16.0f, pr, pt + 50.0f));
    const std::string version = std::string(kVersionLabel) + "   by " + kMakerName;
    g.DrawText(kVersionLineText, version.c_str(), IRECT(pl, pt + 50.0f, pr, pt + 70.0f));
    g.DrawText(kTagText, kTagLine, IRECT(pl, pt + 70.0f, pr, pt + 90.0f));
    const std::string notice = CopyrightWithSign(kVendorCopyright);
    if (!notice.empty())
        g.DrawText(kCopyrightText, notice.c_str(), IRECT(pl, pt + 106.0f, pr, pt + 128.0f));
    webLinkRect = DrawLink(g, ShownWebAddress(kVendorWebAddress).c_str(), pl, pt + 130.0f, pr);
    mailLinkRect = DrawLink(g, kVendorMailAddress, pl, pt + 150.0f, pr);
    g.DrawLine(kSeparator, pl, pt + 186.0f, pr, pt + 186.0f, nullptr, 1.0f);

    closeRect = IRECT(panelRect.right - 128.0f, panelRect.bottom - 50.0f, panelRect.right - 24.0f,
                      panelRect.bottom - 18.0f);
    g.DrawRoundRect(kCloseColour, closeRect, 5.0f, nullptr, 1.4f);
    g.DrawText(kCloseText, "Close", closeRect);
}

// UI thread.
void AboutPopup::OnMouseDown(float x, float y, const igraphics::IMouseMod&)
{
    if (closeRect.Contains(x, y))
    {
        Close();
        return;
    }
    if (panelRect.Contains(x, y))
    {
        if (webLinkRect.Contains(x, y))
        {
            if (GetUI() != nullptr)
                GetUI()->OpenURL(kVendorWebAddress);
        }
        else if (mailLinkRect.Contains(x, y))
        {
            const std::string mail = std::string("mailto:") + kVendorMailAddress;
            if (GetUI() != nullptr)
                GetUI()->OpenURL(mail.c_str());
        }
        return;
    }
    Close();
}

void AboutPopup::Close()
{
    Hide(true);
    if (GetUI() != nullptr)
        GetUI()->ForAllControls([](igraphics::IControl& c) { c.MarkDirty(false); });
}

} // namespace ringstill
