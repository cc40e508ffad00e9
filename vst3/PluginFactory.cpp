#include "vst3/PluginFactory.h"

#include "vst3/Guard.h"

#include <cstring>

using namespace Steinberg;

namespace ringstill::vst3 {

std::mutex& ConstructionLock()
{
    static std::mutex lock;
    return lock;
}

PluginFactory::PluginFactory(const PFactoryInfo& info) : factoryInfo(info) {}

PluginFactory::~PluginFactory()
{
    if (destroyHook != nullptr)
        destroyHook(this);
}

bool PluginFactory::RegisterClass(const PClassInfo2& info, CreateFunction create, void* context)
{
    if (create == nullptr || entryCount >= kMaxClasses
        || Find(reinterpret_cast<FIDString>(info.cid)) != nullptr)
        return false;
    Entry& entry = entries[entryCount++];
    entry.info = info;
    entry.create = create;
    entry.context = context;
    return true;
}

const PluginFactory::Entry* PluginFactory::Find(FIDString cid) const
{
    if (cid == nullptr)
        return nullptr;
    for (int i = 0; i < entryCount; ++i)
        if (std::memcmp(entries[i].info.cid, cid, sizeof(TUID)) == 0)
            return &entries[i];
    return nullptr;
}

tresult PLUGIN_API PluginFactory::getFactoryInfo(PFactoryInfo* info)
{
    if (info == nullptr)
        return kInvalidArgument;
    *info = factoryInfo;
    return kResultOk;
}

int32 PLUGIN_API PluginFactory::countClasses() { return entryCount; }

tresult PLUGIN_API PluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
    if (info == nullptr || index < 0 || index >= entryCount)
        return kInvalidArgument;
    const PClassInfo2& source = entries[index].info;
    *info = PClassInfo();
    std::memcpy(info->cid, source.cid, sizeof(TUID));
    info->cardinality = source.cardinality;
    std::memcpy(info->category, source.category, sizeof(info->category));
    std::memcpy(info->name, source.name, sizeof(info->name));
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
    if (info == nullptr || index < 0 || index >= entryCount)
        return kInvalidArgument;
    *info = entries[index].info;
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
    if (info == nullptr || index < 0 || index >= entryCount)
        return kInvalidArgument;
    *info = PClassInfoW();
    info->fromAscii(entries[index].info);
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::createInstance(FIDString cid, FIDString iid, void** obj)
{
    return Guarded(kOutOfMemory, [&]() -> tresult { return CreateInstance(cid, iid, obj); });
}

tresult PluginFactory::CreateInstance(FIDString cid, FIDString iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    *obj = nullptr;
    const Entry* entry = Find(cid);
    if (entry == nullptr || iid == nullptr)
        return kInvalidArgument;

    FUnknown* object = nullptr;
    {
        std::lock_guard<std::mutex> guard(ConstructionLock());
        object = entry->create(entry->context);
    }
    if (object == nullptr)
        return kOutOfMemory;

    // The host gets its own reference through the query; ours goes, so a refused interface
    // destroys the object again.
    const tresult result = object->queryInterface(iid, obj);
    object->release();
    if (result != kResultOk)
    {
        *obj = nullptr;
        return kNoInterface;
    }
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::setHostContext(FUnknown* /*context*/)
{
    // Nothing of the host is needed at factory level.
    return kResultOk;
}

tresult PLUGIN_API PluginFactory::queryInterface(const TUID iid, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;
    QUERY_INTERFACE(iid, obj, FUnknown::iid, IPluginFactory)
    QUERY_INTERFACE(iid, obj, IPluginFactory::iid, IPluginFactory)
    QUERY_INTERFACE(iid, obj, IPluginFactory2::iid, IPluginFactory2)
    QUERY_INTERFACE(iid, obj, IPluginFactory3::iid, IPluginFactory3)
    *obj = nullptr;
    return kNoInterface;
}

bool PluginFactory::TryAddRef()
{
    uint32 count = refCount.load();
    while (count != 0)
        if (refCount.compare_exchange_weak(count, count + 1))
            return true;
    return false;
}

uint32 PLUGIN_API PluginFactory::addRef() { return ++refCount; }

uint32 PLUGIN_API PluginFactory::release()
{
    const uint32 count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

} // namespace ringstill::vst3
