// The host's parameter changes for one block: a fixed set of queues with fixed room for points,
// so filling and reading them never allocates. Owned by the host (ProcessBuffers); the plug-in
// only borrows them for the duration of process, so reference counting is a no-op.
#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace ringstill::vst3host {

class ParamValueQueue final : public Steinberg::Vst::IParamValueQueue
{
public:
    static constexpr Steinberg::int32 kMaxPoints = 64;

    void Reset(Steinberg::Vst::ParamID id);
    // Makes every getPoint report failure while the points stay counted, as a broken host would.
    void SetFailingReads(bool fail) { failReads = fail; }

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return count; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    // Keeps points ordered by offset; a point at an offset already present replaces its value.
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    struct Point
    {
        Steinberg::int32 offset;
        Steinberg::Vst::ParamValue value;
    };

    Steinberg::Vst::ParamID id = 0;
    Steinberg::int32 count = 0;
    bool failReads = false;
    Point points[kMaxPoints] {};
};

class ParameterChanges final : public Steinberg::Vst::IParameterChanges
{
public:
    static constexpr Steinberg::int32 kMaxQueues = 64;

    // Empties every queue; call between blocks.
    void Clear();
    // Adds a point to the queue of id (creating the queue). False when there is no room.
    bool AddPoint(Steinberg::Vst::ParamID id, Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value);
    // The queue of id, or nullptr.
    ParamValueQueue* Find(Steinberg::Vst::ParamID id);

    Steinberg::int32 PLUGIN_API getParameterCount() override { return used; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    ParamValueQueue queues[kMaxQueues];
    Steinberg::int32 used = 0;
};

} // namespace ringstill::vst3host
