// LogoControl: the product logo scaled into its rectangle. UI thread.
#pragma once

#include "framework/IBitmap.h"
#include "framework/IControl.h"

namespace ringstill {

class LogoControl : public igraphics::IControl
{
public:
    LogoControl(const igraphics::IRECT& bounds, const igraphics::IBitmap& bitmap);

    void Draw(igraphics::IGraphicsRenderer& g) override;

private:
    igraphics::IBitmap bitmap;
};

} // namespace ringstill
