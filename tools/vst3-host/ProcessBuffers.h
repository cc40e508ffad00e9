// Everything a host hands to process for one block: audio buffers per bus and channel in 32- or
// 64-bit samples, the input and output parameter changes and an optional process context. Sized
// once for a capacity; preparing and filling blocks afterwards never allocates. Host side of the
// audio thread.
#pragma once

#include "tools/vst3-host/ParameterChanges.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

#include <memory>
#include <vector>

namespace ringstill::vst3host {

class ProcessBuffers
{
public:
    // inputChannels and outputChannels give the channel count of each bus in order.
    ProcessBuffers(Steinberg::Vst::SymbolicSampleSizes sampleSize, std::vector<int> inputChannels,
                   std::vector<int> outputChannels, int capacity);

    ProcessBuffers(const ProcessBuffers&) = delete;
    ProcessBuffers& operator=(const ProcessBuffers&) = delete;

    int Capacity() const { return capacity; }
    Steinberg::Vst::SymbolicSampleSizes SampleSize() const { return sampleSize; }

    // The block to pass to process: numSamples (clamped to 0 ... capacity), bus buffers, the
    // parameter changes and the context set below. Parameter changes keep what was added.
    Steinberg::Vst::ProcessData& Prepare(int numSamples);
    Steinberg::Vst::ProcessData& Data() { return data; }

    void SetProcessMode(Steinberg::Vst::ProcessModes mode) { data.processMode = mode; }
    // nullptr sends blocks without a context.
    void SetContext(const Steinberg::Vst::ProcessContext* context);
    // Host-side silence flags of an input bus.
    void SetInputSilenceFlags(int bus, Steinberg::uint64 flags);

    ParameterChanges& InputChanges() { return *inputChanges; }
    ParameterChanges& OutputChanges() { return *outputChanges; }

    // Sample access in either sample size, as double.
    void SetInput(int bus, int channel, int frame, double value);
    double Input(int bus, int channel, int frame) const;
    double Output(int bus, int channel, int frame) const;
    // Fills every output sample with value, so untouched samples can be seen.
    void FillOutputs(double value);
    void ClearInputs();

    int InputChannels(int bus) const { return inputs[static_cast<size_t>(bus)].channels; }
    int OutputChannels(int bus) const { return outputs[static_cast<size_t>(bus)].channels; }

private:
    struct Bus
    {
        int channels = 0;
        std::vector<std::vector<float>> samples32;
        std::vector<std::vector<double>> samples64;
        std::vector<float*> pointers32;
        std::vector<double*> pointers64;
    };

    void Allocate(std::vector<Bus>& buses, const std::vector<int>& channels);
    void Bind(std::vector<Bus>& buses, std::vector<Steinberg::Vst::AudioBusBuffers>& out);

    Steinberg::Vst::SymbolicSampleSizes sampleSize;
    int capacity;
    std::vector<Bus> inputs;
    std::vector<Bus> outputs;
    std::vector<Steinberg::Vst::AudioBusBuffers> inputBuffers;
    std::vector<Steinberg::Vst::AudioBusBuffers> outputBuffers;
    std::unique_ptr<ParameterChanges> inputChanges;
    std::unique_ptr<ParameterChanges> outputChanges;
    Steinberg::Vst::ProcessContext context {};
    Steinberg::Vst::ProcessData data {};
};

} // namespace ringstill::vst3host
