// The binding of the shipped module: the effect derives from IPlugVST3, one single-component
// VST 3 effect.
#pragma once

#include "vst3/IPlugVST3.h"

namespace iplug {

using FormatBinding = IPlugVST3;

} // namespace iplug
