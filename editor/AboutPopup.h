// AboutPopup: the about panel over the whole editor with the vendor's links; a click
// on "Close" or outside the panel hides it. Its rectangles are valid after a draw. UI thread.
#pragma once

#include "framework/IControl.h"

#include <string>

namespace ringstill {

inline constexpr const char* kVendorWebAddress = "https://www.tollent.audio/";
inline constexpr const char* kVendorMailAddress = "support@tollent.audio";
inline constexpr const char* kVendorCopyright = "Copyright 2026 Tollent Audio. All rights reserved.";

class AboutPopup : public igraphics::IControl
{
public:
    explicit AboutPopup(const igraphics::IRECT& bounds);

    void OnMouseDown(float x, float y, const igraphics::IMouseMod& mod) override;
    void Draw(igraphics::IGraphicsRenderer& g) override;

    const igraphics::IRECT& PanelRect() const { return panelRect; }
    const igraphics::IRECT& CloseRect() const { return closeRect; }
    const igraphics::IRECT& WebLinkRect() const { return webLinkRect; }
    const igraphics::IRECT& MailLinkRect() const { return mailLinkRect; }

private:
    igraphics::IRECT DrawLink(igraphics::IGraphicsRenderer& g, const char* text, float a, float b, float c);
    void Close();

    igraphics::IRECT panelRect;
    igraphics::IRECT closeRect;
    igraphics::IRECT webLinkRect;
    igraphics::IRECT mailLinkRect;
};

// The notice with "© " after a leading "Copyright " when it has no © yet.
std::string CopyrightWithSign(const char* notice);
// The address without its scheme and one trailing slash.
std::string ShownWebAddress(const char* address);

} // namespace ringstill
