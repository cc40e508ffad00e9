#include "tools/vst3-host/ParameterChanges.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3host {

void ParamValueQueue::Reset(ParamID newId)
{
    id = newId;
    count = 0;
    failReads = false;
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value)
{
    if (failReads || index < 0 || index >= count)
        return kResultFalse;
    sampleOffset = points[index].offset;
    value = points[index].value;
    return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index)
{
    int32 at = 0;
    while (at < count && points[at].offset < sampleOffset)
        ++at;
    if (at < count && points[at].offset == sampleOffset)
    {
        points[at].value = value;
        index = at;
        return kResultTrue;
    }
    if (count >= kMaxPoints)
        return kResultFalse;
    for (int32 i = count; i > at; --i)
        points[i] = points[i - 1];
    points[at] = {sampleOffset, value};
    ++count;
    index = at;
    return kResultTrue;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParamValueQueue)
    QUERY_INTERFACE(iid, obj, IParamValueQueue::iid, IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

void ParameterChanges::Clear() { used = 0; }

ParamValueQueue* ParameterChanges::Find(ParamID id)
{
    for (int32 i = 0; i < used; ++i)
        if (queues[i].getParameterId() == id)
            return &queues[i];
    return nullptr;
}

bool ParameterChanges::AddPoint(ParamID id, int32 sampleOffset, ParamValue value)
{
    int32 queueIndex = 0;
    IParamValueQueue* queue = addParameterData(id, queueIndex);
    int32 pointIndex = 0;
    return queue != nullptr && queue->addPoint(sampleOffset, value, pointIndex) == kResultTrue;
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
    return index >= 0 && index < used ? &queues[index] : nullptr;
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index)
{
    for (int32 i = 0; i < used; ++i)
        if (queues[i].getParameterId() == id)
        {
            index = i;
            return &queues[i];
        }
    if (used >= kMaxQueues)
        return nullptr;
    queues[used].Reset(id);
    index = used;
    return &queues[used++];
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IParameterChanges)
    QUERY_INTERFACE(iid, obj, IParameterChanges::iid, IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

} // namespace ringstill::vst3host
