// The binding for binaries that drive the effect in-process without a plug-in format: tests,
// tools and benchmarks. The effect derives from the plug-in base and the audio processor base
// alone, and its owner calls ResetDsp, ProcessAudioBlock and IdleUpdate by hand.
#pragma once

#include "framework/IPlugAPIBase.h"
#include "framework/IPlugProcessor.h"
#include "framework/PluginConfig.h"

namespace iplug {

class IPlugOffline : public IPlugAPIBase, public IPlugProcessor
{
public:
    explicit IPlugOffline(const PluginConfig& config) : IPlugAPIBase(config), IPlugProcessor(config) {}
};

using FormatBinding = IPlugOffline;

} // namespace iplug
