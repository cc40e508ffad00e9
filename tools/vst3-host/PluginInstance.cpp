#include "tools/vst3-host/PluginInstance.h"

#include "tools/vst3-host/Streams.h"

#include <cstring>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace ringstill::vst3host {
namespace {

template <typename Interface>
Interface* Query(FUnknown* object)
{
    void* result = nullptr;
    if (object == nullptr || object->queryInterface(Interface::iid, &result) != kResultOk)
        return nullptr;
    return static_cast<Interface*>(result);
}

// Two interface pointers name the same object when their FUnknown identities agree.
bool SameObject(FUnknown* a, FUnknown* b)
{
    FUnknown* ua = Query<FUnknown>(a);
    FUnknown* ub = Query<FUnknown>(b);
    const bool same = ua != nullptr && ua == ub;
    if (ua != nullptr)
        ua->release();
    if (ub != nullptr)
        ub->release();
    return same;
}

template <typename Interface>
long ReleaseOne(Interface*& pointer)
{
    if (pointer == nullptr)
        return -1;
    const uint32 remaining = pointer->release();
    pointer = nullptr;
    return static_cast<long>(remaining);
}

} // namespace

std::unique_ptr<PluginInstance> PluginInstance::Create(std::shared_ptr<Module> module, const TUID cid,
                                                       std::string* error)
{
    auto fail = [error](const std::string& text) {
        if (error != nullptr)
            *error = text;
        return std::unique_ptr<PluginInstance>();
    };
    if (module == nullptr || module->Factory() == nullptr)
        return fail("no module factory");
    IPluginFactory* factory = module->Factory();

    TUID classId {};
    if (cid != nullptr)
        std::memcpy(classId, cid, sizeof(TUID));
    else
    {
        PClassInfo info;
        if (factory->countClasses() < 1 || factory->getClassInfo(0, &info) != kResultOk)
            return fail("the factory lists no class");
        std::memcpy(classId, info.cid, sizeof(TUID));
    }

    std::unique_ptr<PluginInstance> instance(new PluginInstance());
    instance->module = module;
    void* object = nullptr;
    if (factory->createInstance(classId, IComponent::iid, &object) != kResultOk || object == nullptr)
        return fail("createInstance refused IComponent");
    instance->component = static_cast<IComponent*>(object);
    instance->processor = Query<IAudioProcessor>(instance->component);
    if (instance->processor == nullptr)
        return fail("the component offers no IAudioProcessor");

    instance->controller = Query<IEditController>(instance->component);
    instance->singleComponent = instance->controller != nullptr;
    if (instance->controller == nullptr)
    {
        TUID controllerId {};
        if (instance->component->getControllerClassId(controllerId) == kResultOk)
        {
            object = nullptr;
            if (factory->createInstance(controllerId, IEditController::iid, &object) == kResultOk)
                instance->controller = static_cast<IEditController*>(object);
        }
    }
    else
        instance->singleComponent = SameObject(instance->component, instance->controller);
    return instance;
}

PluginInstance::~PluginInstance()
{
    Terminate();
    ReleaseController();
    ReleaseProcessor();
    ReleaseComponent();
}

tresult PluginInstance::Initialize(HostApplication* host, ComponentHandler* handler)
{
    if (component == nullptr)
        return kNotInitialized;
    FUnknown* context = host != nullptr ? static_cast<IHostApplication*>(host) : nullptr;
    const tresult result = component->initialize(context);
    if (result != kResultOk)
        return result;
    componentInitialized = true;
    if (controller != nullptr && !singleComponent)
    {
        const tresult controllerResult = controller->initialize(context);
        if (controllerResult != kResultOk)
            return controllerResult;
        controllerInitialized = true;
    }
    if (controller != nullptr && handler != nullptr)
        controller->setComponentHandler(handler);
    return kResultOk;
}

tresult PluginInstance::Terminate()
{
    tresult result = kResultOk;
    if (controllerInitialized && controller != nullptr)
        result = controller->terminate();
    controllerInitialized = false;
    if (componentInitialized && component != nullptr)
    {
        const tresult componentResult = component->terminate();
        if (result == kResultOk)
            result = componentResult;
    }
    componentInitialized = false;
    return result;
}

tresult PluginInstance::StartProcessing(SymbolicSampleSizes sampleSize, double sampleRate,
                                        int maxSamplesPerBlock, ProcessModes mode)
{
    if (processor == nullptr || component == nullptr)
        return kNotInitialized;
    ProcessSetup setup {mode, sampleSize, maxSamplesPerBlock, sampleRate};
    tresult result = processor->setupProcessing(setup);
    if (result != kResultOk)
        return result;
    result = component->setActive(true);
    if (result != kResultOk)
        return result;
    return processor->setProcessing(true);
}

tresult PluginInstance::StopProcessing()
{
    if (processor == nullptr || component == nullptr)
        return kNotInitialized;
    const tresult result = processor->setProcessing(false);
    const tresult activeResult = component->setActive(false);
    return result != kResultOk ? result : activeResult;
}

tresult PluginInstance::Process(ProcessBuffers& buffers, int numSamples)
{
    if (processor == nullptr)
        return kNotInitialized;
    ProcessScope scope;
    return processor->process(buffers.Prepare(numSamples));
}

tresult PluginInstance::SaveState(std::vector<std::uint8_t>& bytes)
{
    if (component == nullptr)
        return kNotInitialized;
    IPtr<MemoryStream> stream = NewStream();
    const tresult result = component->getState(stream);
    bytes = BytesOf(*stream);
    return result;
}

tresult PluginInstance::LoadState(const std::vector<std::uint8_t>& bytes)
{
    if (component == nullptr)
        return kNotInitialized;
    IPtr<MemoryStream> stream = StreamOf(bytes);
    return component->setState(stream);
}

long PluginInstance::ReleaseComponent()
{
    componentInitialized = false;
    return ReleaseOne(component);
}

long PluginInstance::ReleaseProcessor() { return ReleaseOne(processor); }

long PluginInstance::ReleaseController()
{
    controllerInitialized = false;
    return ReleaseOne(controller);
}

} // namespace ringstill::vst3host
