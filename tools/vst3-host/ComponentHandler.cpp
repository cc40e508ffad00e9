#include "tools/vst3-host/ComponentHandler.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3host {
namespace {

thread_local int tProcessDepth = 0;

} // namespace

ProcessScope::ProcessScope() { ++tProcessDepth; }

ProcessScope::~ProcessScope() { --tProcessDepth; }

bool ProcessScope::Active() { return tProcessDepth > 0; }

ComponentHandler::ComponentHandler() { calls.reserve(kCapacity); }

void ComponentHandler::Record(HandlerCall::Kind kind, ParamID id, ParamValue value, int32 flags)
{
    std::lock_guard<std::mutex> guard(lock);
    if (calls.size() >= kCapacity)
    {
        ++dropped;
        return;
    }
    HandlerCall call;
    call.kind = kind;
    call.id = id;
    call.value = value;
    call.flags = flags;
    call.thread = std::this_thread::get_id();
    call.duringProcess = ProcessScope::Active();
    calls.push_back(call);
}

std::vector<HandlerCall> ComponentHandler::Calls() const
{
    std::lock_guard<std::mutex> guard(lock);
    return calls;
}

std::size_t ComponentHandler::Count(HandlerCall::Kind kind) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::size_t count = 0;
    for (const HandlerCall& call : calls)
        count += call.kind == kind ? 1 : 0;
    return count;
}

std::size_t ComponentHandler::Dropped() const
{
    std::lock_guard<std::mutex> guard(lock);
    return dropped;
}

void ComponentHandler::Clear()
{
    std::lock_guard<std::mutex> guard(lock);
    calls.clear();
    dropped = 0;
}

tresult PLUGIN_API ComponentHandler::beginEdit(ParamID id)
{
    Record(HandlerCall::kBeginEdit, id);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit(ParamID id, ParamValue valueNormalized)
{
    Record(HandlerCall::kPerformEdit, id, valueNormalized);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(ParamID id)
{
    Record(HandlerCall::kEndEdit, id);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags)
{
    Record(HandlerCall::kRestartComponent, 0, 0.0, flags);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::setDirty(TBool state)
{
    Record(HandlerCall::kSetDirty, 0, 0.0, state ? 1 : 0);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::requestOpenEditor(FIDString /*name*/)
{
    Record(HandlerCall::kRequestOpenEditor);
    return kResultFalse;
}

tresult PLUGIN_API ComponentHandler::startGroupEdit()
{
    Record(HandlerCall::kStartGroupEdit);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::finishGroupEdit()
{
    Record(HandlerCall::kFinishGroupEdit);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IComponentHandler)
    QUERY_INTERFACE(iid, obj, IComponentHandler::iid, IComponentHandler)
    QUERY_INTERFACE(iid, obj, IComponentHandler2::iid, IComponentHandler2)
    *obj = nullptr;
    return kNoInterface;
}

} // namespace ringstill::vst3host
