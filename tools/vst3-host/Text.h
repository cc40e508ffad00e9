// UTF-16 text at the VST 3 boundary, for the host side.
#pragma once

#include "pluginterfaces/base/ftypes.h"

#include <string>

namespace ringstill::vst3host {

// Copies text into a terminated UTF-16 field of size units (ASCII and Latin-1 only).
void CopyToString128(const std::string& text, Steinberg::char16* field, int size = 128);

// Narrows a terminated UTF-16 text (code units below 128 stay, others become '?').
std::string Narrow(const Steinberg::char16* text, int maxUnits = 128);

std::u16string Widen(const std::string& text);

} // namespace ringstill::vst3host
