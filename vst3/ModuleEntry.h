// The module's exported entry points (ModuleEntry.cpp): GetPluginFactory everywhere,
// ModuleEntry/ModuleExit on Linux, InitDll/ExitDll on Windows. Nothing else leaves the module.
// Each module binary links ModuleEntry.cpp once and supplies DescribeModule in its own file.
#pragma once

#include "vst3/PluginFactory.h"

namespace ringstill::vst3 {

// Defined exactly once per module by the plug-in's own file: registers the module's classes with a
// newly created factory. Called from GetPluginFactory under the module lock, once per factory
// object (a later GetPluginFactory after every reference was released builds a new one).
void DescribeModule(PluginFactory& factory);

// The shared-library handle given to ModuleEntry on Linux, or the module instance on Windows,
// recorded by the first entry call; nullptr before it and after the last exit. For resource lookup.
void* ModuleHandle();

} // namespace ringstill::vst3
