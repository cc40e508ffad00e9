#include "tools/vst3-host/HostApplication.h"

#include "tools/vst3-host/Text.h"

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "pluginterfaces/vst/ivstmessage.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3host {

HostApplication::HostApplication(std::string name) : name(std::move(name)) {}

void HostApplication::SetName(const std::string& newName)
{
    std::lock_guard<std::mutex> guard(nameLock);
    name = newName;
}

tresult PLUGIN_API HostApplication::getName(String128 text)
{
    if (text == nullptr)
        return kInvalidArgument;
    std::lock_guard<std::mutex> guard(nameLock);
    CopyToString128(name, text);
    return kResultTrue;
}

tresult PLUGIN_API HostApplication::createInstance(TUID cid, TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    *obj = nullptr;
    if (FUnknownPrivate::iidEqual(cid, IMessage::iid) && FUnknownPrivate::iidEqual(iid, IMessage::iid))
    {
        *obj = static_cast<IMessage*>(new HostMessage());
        return kResultTrue;
    }
    if (FUnknownPrivate::iidEqual(cid, IAttributeList::iid)
        && FUnknownPrivate::iidEqual(iid, IAttributeList::iid))
    {
        *obj = static_cast<IAttributeList*>(new HostAttributeList());
        return kResultTrue;
    }
    return kResultFalse;
}

tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IHostApplication)
    QUERY_INTERFACE(iid, obj, IHostApplication::iid, IHostApplication)
    *obj = nullptr;
    return kNoInterface;
}

} // namespace ringstill::vst3host
