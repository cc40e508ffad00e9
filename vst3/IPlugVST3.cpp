#include "vst3/IPlugVST3.h"

#include "framework/IGraphics.h"
#include "framework/IKeyPress.h"
#include "framework/TextConversion.h"
#include "vst3/Guard.h"
#include "vst3/IPlugVST3Parameter.h"
#include "vst3/IPlugVST3View.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstattributes.h"
#include "pluginterfaces/vst/ivsthostapplication.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;
using ringstill::vst3::Guarded;
using ringstill::vst3::GuardedCall;

namespace iplug {
namespace {

constexpr int kMaxBusesPerDirection = 32;
// Far beyond any state of ours; a stream that never ends must not eat the host's memory.
constexpr int kMaxStateBytes = 1 << 20;
constexpr int kStateReadPiece = 128;

int ChannelsOf(SpeakerArrangement arrangement) { return std::popcount(std::uint64_t(arrangement)); }

void Widen(const char* text, TChar* out, int capacity)
{
    WidenText(text, reinterpret_cast<char16_t*>(out), capacity);
}

std::string ReadAttributeString(IAttributeList& list, IAttributeList::AttrID key)
{
    TChar text[256] = {};
    if (list.getString(key, text, sizeof(text) - sizeof(TChar)) != kResultTrue)
        return {};
    char utf8[768] = {};
    NarrowText(reinterpret_cast<const char16_t*>(text), utf8, int(sizeof utf8), TextEncoding::Utf8);
    return utf8;
}

void ReadAttributeInt(IAttributeList& list, IAttributeList::AttrID key, std::int64_t& out)
{
    int64 value = 0;
    if (list.getInt(key, value) == kResultTrue)
        out = value;
}

} // namespace

IPlugVST3::IPlugVST3(const PluginConfig& config) : IPlugAPIBase(config), IPlugVST3ProcessorBase(config) {}

IPlugVST3::~IPlugVST3() { hostRunLoopTicks.reset(); }

tresult PLUGIN_API IPlugVST3::initialize(FUnknown* context)
{
    bool contextTaken = false;
    return Guarded(
        kInternalError,
        [&]() -> tresult {
            const tresult result = SingleComponentEffect::initialize(context);
            if (result != kResultOk)
                return result;
            contextTaken = true;
            CreateDefaultBuses();
            RegisterParametersAndUnits();
            IdentifyHostFrom(context);
            ParamsReset(ParamSource::Reset);
            TickOnHostRunLoop();
            return kResultOk;
        },
        // Half-built: back to uninitialised, so the host may try again.
        [&] {
            hostRunLoopTicks.reset();
            if (contextTaken)
                SingleComponentEffect::terminate();
        });
}

tresult PLUGIN_API IPlugVST3::terminate()
{
    GuardedCall([&] { hostRunLoopTicks.reset(); });
    return SingleComponentEffect::terminate();
}

tresult PLUGIN_API IPlugVST3::setComponentHandler(IComponentHandler* handler)
{
    return Guarded(kInternalError, [&]() -> tresult {
        const tresult result = SingleComponentEffect::setComponentHandler(handler);
        TickOnHostRunLoop();
        return result;
    });
}

// UI thread. The component handler's run loop first, else the host context's.
void IPlugVST3::TickOnHostRunLoop()
{
    hostRunLoopTicks.reset();
    hostRunLoopTicks = TickIdleTimersOnHostRunLoop(componentHandler);
    if (hostRunLoopTicks == nullptr)
        hostRunLoopTicks = TickIdleTimersOnHostRunLoop(hostContext);
}

void IPlugVST3::CreateDefaultBuses()
{
    int inputLayout = -1;
    int outputLayout = -1;
    MaxNBuses(kInput, &inputLayout);
    MaxNBuses(kOutput, &outputLayout);
    CreateBuses(inputLayout, outputLayout);
}

void IPlugVST3::CreateBuses(int inputLayout, int outputLayout)
{
    const std::vector<ChannelLayout>& layouts = GetChannelLayouts();
    TChar name[32] = {};
    char name8[32] = {};
    if (inputLayout >= 0 && inputLayout < int(layouts.size()))
    {
        const auto& buses = layouts[std::size_t(inputLayout)].inputBuses;
        for (int i = 0; i < int(buses.size()); ++i)
        {
            BusName(kInput, i, int(buses.size()), name8);
            Widen(name8, name, 32);
            addAudioInput(name, SpeakerArrangementFor(buses[std::size_t(i)].channelCount), i == 0 ? kMain : kAux,
                          i == 0 ? BusInfo::kDefaultActive : 0);
        }
    }
    int outputs = 0;
    if (outputLayout >= 0 && outputLayout < int(layouts.size()))
    {
        const auto& buses = layouts[std::size_t(outputLayout)].outputBuses;
        outputs = int(buses.size());
        for (int i = 0; i < outputs; ++i)
        {
            BusName(kOutput, i, outputs, name8);
            Widen(name8, name, 32);
            addAudioOutput(name, SpeakerArrangementFor(buses[std::size_t(i)].channelCount), i == 0 ? kMain : kAux,
                           i == 0 ? BusInfo::kDefaultActive : 0);
        }
    }
    if (GetPluginType() == kPluginTypeMidiEffect && outputs == 0)
        addAudioOutput(STR16("Dummy Output"), 0);
}

void IPlugVST3::RegisterParametersAndUnits()
{
    // Room first: the SDK's unit list loses a new unit when it cannot grow.
    units.reserve(units.size() + std::size_t(NParams()) + 1);
    addUnit(new Unit(STR16("Root"), kRootUnitId, kNoParentUnitId));
    if (GetPluginType() != kPluginTypeInstrument)
        AddParameter(new IPlugVST3BypassParameter(kBypassParamId));

    // One unit per distinct non-empty group, numbered in order of first appearance.
    std::vector<std::string> groups;
    TChar unitName[128] = {};
    for (int i = 0; i < NParams(); ++i)
    {
        IParam& param = *GetParam(i);
        UnitID unit = kRootUnitId;
        if (param.GetGroup()[0] != '\0')
        {
            auto found = std::find(groups.begin(), groups.end(), param.GetGroup());
            if (found == groups.end())
            {
                groups.emplace_back(param.GetGroup());
                Widen(param.GetGroup(), unitName, 128);
                addUnit(new Unit(unitName, UnitID(groups.size()), kRootUnitId));
                found = groups.end() - 1;
            }
            unit = UnitID(found - groups.begin() + 1);
        }
        AddParameter(new IPlugVST3Parameter(param, ParamID(i), unit));
    }
}

void IPlugVST3::AddParameter(Parameter* parameter)
{
    // The SDK's list takes over the reference a parameter is born with, but drops it, without
    // releasing it, when its index map cannot grow; ours keeps it until the list holds one.
    IPtr<Parameter> keep(parameter);
    try
    {
        parameters.addParameter(parameter);
    }
    catch (...)
    {
        if (keep->getRefCount() > 1)
            parameter->release();
        throw;
    }
}

void IPlugVST3::IdentifyHostFrom(FUnknown* context)
{
    if (context == nullptr)
        return;
    IHostApplication* app = nullptr;
    if (context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&app)) != kResultOk || !app)
        return;
    String128 name = {};
    if (app->getName(name) == kResultOk)
    {
        // Host names are plain ASCII in practice; each unit keeps its low byte.
        char narrow[128] = {};
        for (int i = 0; i < 127 && name[i] != 0; ++i)
            narrow[i] = char(name[i] & 0xFF);
        SetHost(narrow);
    }
    app->release();
}

tresult PLUGIN_API IPlugVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                 SpeakerArrangement* outputs, int32 numOuts)
{
    return Guarded(
        kInternalError, [&] { return ArrangeBuses(inputs, numIns, outputs, numOuts); },
        // Half-rebuilt buses would leave the host without audio: the full layout again.
        [&] {
            removeAudioBusses();
            CreateDefaultBuses();
        });
}

tresult IPlugVST3::ArrangeBuses(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                int32 numOuts)
{
    // These hosts offer arrangements we could not match and then refuse to run the plug-in at all.
    if (GetHost() == kHostArdour || GetHost() == kHostMixbus)
        return kResultOk;
    DisconnectAll(kInput);
    DisconnectAll(kOutput);
    if (numIns < 0 || numOuts < 0 || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
        return kResultFalse;
    if (numIns > MaxNBuses(kInput) || numOuts > MaxNBuses(kOutput) || numIns > kMaxBusesPerDirection
        || numOuts > kMaxBusesPerDirection)
        return kResultFalse;
    std::array<int, kMaxBusesPerDirection> inCounts {};
    std::array<int, kMaxBusesPerDirection> outCounts {};
    for (int32 i = 0; i < numIns; ++i)
        inCounts[std::size_t(i)] = ChannelsOf(inputs[i]);
    for (int32 i = 0; i < numOuts; ++i)
        outCounts[std::size_t(i)] = ChannelsOf(outputs[i]);
    const int layout = LayoutIndexFor(std::span<const int>(inCounts.data(), std::size_t(numIns)),
                                      std::span<const int>(outCounts.data(), std::size_t(numOuts)));
    if (layout < 0)
        return kResultFalse;
    removeAudioBusses();
    CreateBuses(layout, layout);
    return kResultOk;
}

tresult PLUGIN_API IPlugVST3::canProcessSampleSize(int32 symbolicSampleSize)
{
    return IsSupportedSampleSize(symbolicSampleSize) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API IPlugVST3::setupProcessing(ProcessSetup& setup)
{
    return Guarded(kInternalError, [&]() -> tresult {
        // Refused before anything changes: the previous setup stays in force.
        if (!AcceptsSetup(setup))
            return kResultFalse;
        SetDspReady(false);
        if (!SetupProcessing(setup))
            return kResultFalse;
        processSetup = setup;
        ResetDspGuarded();
        return kResultOk;
    });
}

void IPlugVST3::ResetDspGuarded()
{
    SetDspReady(false);
    ResetDsp();
    SetDspReady(true);
}

tresult PLUGIN_API IPlugVST3::setActive(TBool state)
{
    return Guarded(kInternalError, [&]() -> tresult {
        OnActivate(state != 0);
        return kResultOk;
    });
}

tresult PLUGIN_API IPlugVST3::setProcessing(TBool state)
{
    return Guarded(kInternalError, [&]() -> tresult {
        // A start after a reset that failed builds the DSP again rather than staying silent.
        if (!state || (!IsDspReady() && GetBlockCapacity() > 0))
            ResetDspGuarded();
        return kResultOk;
    });
}

// Audio thread: never allocates, locks or waits.
tresult PLUGIN_API IPlugVST3::process(ProcessData& data)
{
    return Guarded(
        kInternalError,
        [&]() -> tresult {
            ProcessTiming(data);
            ProcessParameterChanges(data, *this);
            ProcessAudio(data, audioOutputs);
            return kResultOk;
        },
        [&] { SilenceHostOutputs(data); });
}

uint32 PLUGIN_API IPlugVST3::getLatencySamples() { return uint32(std::max(GetLatency(), 0)); }

uint32 PLUGIN_API IPlugVST3::getTailSamples()
{
    const int tail = GetTailLength();
    return tail == IPlugProcessor::kInfiniteTail ? Steinberg::Vst::kInfiniteTail : uint32(std::max(tail, 0));
}

// Audio or setup thread: calls the host only where it must (HostHearsLatencyAtOnce).
void IPlugVST3::ChangeLatency(int samples)
{
    const int before = GetLatency();
    IPlugVST3ProcessorBase::ChangeLatency(samples);
    // Only a real change: a restart for nothing invites hosts that re-activate on it to loop.
    if (GetLatency() == before)
        return;
    if (HostHearsLatencyAtOnce())
    {
        if (componentHandler != nullptr)
            componentHandler->restartComponent(kLatencyChanged);
        return;
    }
    latencyRestartPending.store(true, std::memory_order_release);
}

bool IPlugVST3::HostHearsLatencyAtOnce() const
{
#if SMTG_OS_WINDOWS
    return false;
#else
    // Ardour and Mixbus on Linux offer their run loop to an open editor only, so with the editor
    // closed no idle tick would ever tell them; they take restartComponent from their process
    // thread by design, and rely on it for their latency compensation.
    return GetHost() == kHostArdour || GetHost() == kHostMixbus;
#endif
}

// UI thread.
void IPlugVST3::DeliverHostNotifications()
{
    GuardedCall([&] {
        if (!latencyRestartPending.exchange(false, std::memory_order_acq_rel))
            return;
        if (componentHandler != nullptr)
            componentHandler->restartComponent(kLatencyChanged);
    });
}

tresult PLUGIN_API IPlugVST3::setParamNormalized(ParamID id, ParamValue value)
{
    return Guarded(kInternalError, [&]() -> tresult {
        const tresult result = SingleComponentEffect::setParamNormalized(id, value);
        if (result != kResultOk)
            return result;
        value = std::clamp(value, 0.0, 1.0);
        if (id < kBypassParamId && id < ParamID(NParams()))
        {
            GetParam(int(id))->StoreNormalised(value);
            ParamChangedForEditor(int(id), ParamSource::Host);
            SendParamToEditor(int(id), value, true);
        }
        else if (id == kPresetParamId)
        {
            LoadPreset(int(std::lround(double(NPresets() - 1) * value)));
        }
        return kResultOk;
    });
}

IPlugView* PLUGIN_API IPlugVST3::createView(FIDString name)
{
    return Guarded(static_cast<IPlugView*>(nullptr), [&]() -> IPlugView* {
        if (!HasEditor() || name == nullptr || std::strcmp(name, ViewType::kEditor) != 0)
            return nullptr;
        return new IPlugVST3View(*this);
    });
}

int32 PLUGIN_API IPlugVST3::getProgramListCount() { return 0; }

tresult PLUGIN_API IPlugVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (listId != ProgramListID(kPresetParamId) || name == nullptr)
            return kResultFalse;
        Widen(GetPresetName(programIndex), name, 128);
        return kResultOk;
    });
}

tresult PLUGIN_API IPlugVST3::getUnitByBus(MediaType, Steinberg::Vst::BusDirection, int32, int32, UnitID&) { return kResultFalse; }

tresult PLUGIN_API IPlugVST3::setUnitProgramData(int32, int32, IBStream*) { return kResultFalse; }

tresult PLUGIN_API IPlugVST3::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                          CtrlNumber midiControllerNumber, ParamID& id)
{
    if (busIndex != 0 || channel > 0)
        return kResultFalse;
    const std::int64_t assigned =
        std::int64_t(kMidiCcParamBase) + std::int64_t(channel) * kMidiCcParamsPerChannel + midiControllerNumber;
    if (assigned < 0)
        return kResultFalse;
    id = ParamID(assigned);
    return kResultOk;
}

tresult PLUGIN_API IPlugVST3::setChannelContextInfos(IAttributeList* list)
{
    return Guarded(kInternalError, [&]() -> tresult { return ReadChannelContext(list); });
}

tresult IPlugVST3::ReadChannelContext(IAttributeList* list)
{
    if (list == nullptr)
        return kResultFalse;
    using namespace ChannelContext;
    channelContext.name = ReadAttributeString(*list, kChannelNameKey);
    channelContext.uid = ReadAttributeString(*list, kChannelUIDKey);
    ReadAttributeInt(*list, kChannelIndexKey, channelContext.index);
    std::int64_t color = 0;
    ReadAttributeInt(*list, kChannelColorKey, color);
    channelContext.red = GetRed(ColorSpec(color));
    channelContext.green = GetGreen(ColorSpec(color));
    channelContext.blue = GetBlue(ColorSpec(color));
    channelContext.alpha = GetAlpha(ColorSpec(color));
    ReadAttributeInt(*list, kChannelIndexNamespaceOrderKey, channelContext.indexNamespaceOrder);
    channelContext.indexNamespace = ReadAttributeString(*list, kChannelIndexNamespaceKey);
    ReadAttributeInt(*list, kChannelPluginLocationKey, channelContext.pluginLocation);
    return kResultOk;
}

tresult PLUGIN_API IPlugVST3::queryInterface(const TUID iid, void** obj)
{
    return Guarded(kInternalError, [&]() -> tresult {
        if (obj == nullptr)
            return kInvalidArgument;
        QUERY_INTERFACE(iid, obj, IMidiMapping::iid, IMidiMapping)
        QUERY_INTERFACE(iid, obj, ChannelContext::IInfoListener::iid, ChannelContext::IInfoListener)
        return SingleComponentEffect::queryInterface(iid, obj);
    });
}

void IPlugVST3::BeginHostEdit(int index)
{
    if (componentHandler != nullptr)
        componentHandler->beginEdit(ParamID(index));
}

void IPlugVST3::HostEdit(int index, double normalised)
{
    if (componentHandler != nullptr)
        componentHandler->performEdit(ParamID(index), normalised);
}

void IPlugVST3::EndHostEdit(int index)
{
    if (componentHandler != nullptr)
        componentHandler->endEdit(ParamID(index));
}

void IPlugVST3::MarkStateDirty()
{
    if (componentHandler2 != nullptr)
        componentHandler2->setDirty(true);
}

void IPlugVST3::HostParameterDetailsChanged()
{
    if (componentHandler != nullptr)
        componentHandler->restartComponent(kParamTitlesChanged);
}

void IPlugVST3::PushAllParamsToHost()
{
    for (int i = 0; i < NParams(); ++i)
        if (Parameter* object = getParameterObject(ParamID(i)))
            object->setNormalized(GetParam(i)->CurrentNormalised());
    if (componentHandler == nullptr)
        return;
    if (componentHandler2 != nullptr)
        componentHandler2->startGroupEdit();
    IPlugAPIBase::PushAllParamsToHost();
    if (componentHandler2 != nullptr)
        componentHandler2->finishGroupEdit();
}

void IPlugVST3::SetParameterFromEditor(int index, double normalised)
{
    if (Parameter* object = getParameterObject(ParamID(index)))
        object->setNormalized(normalised);
    IPlugAPIBase::SetParameterFromEditor(index, normalised);
}

bool IPlugVST3::ResizeEditor(int width, int height)
{
    if (!HasEditor())
        return true;
    if ((width != EditorWidth() || height != EditorHeight()) && view != nullptr)
        view->RequestResize(width, height);
    SetEditorSize(width, height);
    return true;
}

void IPlugVST3::OpenEditorWindow(void* parent)
{
    editorWindow.reset();
    editorWindowFailed = false;
    igraphics::IGraphics* ui = GetUI();
    if (ui == nullptr)
        return;
    IPlugFrame* frame = view != nullptr ? view->Frame() : nullptr;
#if !SMTG_OS_WINDOWS
    // Without a frame (a host that never called setFrame) there is no run loop to run a window
    // on, and the view stays a size-keeping placeholder. A Windows window runs on the host's
    // message loop and needs no frame.
    if (frame == nullptr)
        return;
#endif
    editorWindow = iplug::OpenEditorWindow(*ui, parent, frame);
    editorWindowFailed = editorWindow == nullptr;
}

void IPlugVST3::CloseEditorWindow()
{
    if (const igraphics::IGraphics* ui = GetUI())
        closedDrawScale = ui->GetDrawScale();
    editorWindow.reset();
    editorWindowFailed = false;
}

void IPlugVST3::ResizeEditorContext(int width, int height, float scale)
{
    igraphics::IGraphics* ui = GetUI();
    if (ui == nullptr)
        return;
    ui->SetScreenScale(scale);
    float drawScale = ui->GetDrawScale();
    if (closedDrawScale > 0.0f)
    {
        // Reopening: the window size remembered includes the draw scale of that time.
        drawScale = closedDrawScale;
        closedDrawScale = 0.0f;
    }
    if (!(drawScale > 0.0f))
        drawScale = 1.0f;
    ui->Resize(int(std::lround(float(width) / drawScale)), int(std::lround(float(height) / drawScale)), drawScale);
}

bool IPlugVST3::OnEditorKey(const igraphics::IKeyPress& press, bool isUp)
{
    // Keys are for what the user sees: nothing takes them while no window shows the editor.
    igraphics::IGraphics* ui = GetUI();
    if (ui == nullptr || editorWindow == nullptr)
        return false;
    // The host's key events carry no pointer position: no control is under it.
    return isUp ? ui->OnKeyUp(-1.f, -1.f, press) : ui->OnKeyDown(-1.f, -1.f, press);
}

tresult IPlugVST3::getProcessorState(IBStream* state)
{
    if (state == nullptr)
        return kInvalidArgument;
    ByteChunk chunk;
    if (!WriteState(chunk))
        return kResultFalse;
    const Parameter* bypass = getParameterObject(kBypassParamId);
    if (!chunk.PutInt32(bypass != nullptr && bypass->getNormalized() >= 0.5 ? 1 : 0))
        return kResultFalse;
    if (!WriteStateExtension(chunk))
        return kResultFalse;
    int32 written = 0;
    if (state->write(chunk.GetData(), chunk.Size(), &written) != kResultOk || written != chunk.Size())
        return kResultFalse;
    return kResultOk;
}

tresult IPlugVST3::setProcessorState(IBStream* state)
{
    if (state == nullptr)
        return kInvalidArgument;
    ByteChunk chunk;
    const bool tolerant = GetHost() == kHostWaveLab;
    // Zeroed: a stream that tells of more bytes than it gave leaves no undefined bytes behind.
    char piece[kStateReadPiece] = {};
    while (chunk.Size() < kMaxStateBytes)
    {
        int32 got = 0;
        const tresult result = state->read(piece, kStateReadPiece, &got);
        if (got <= 0 || got > kStateReadPiece)
            break;
        if (result != kResultOk && !tolerant)
            break;
        if (!chunk.PutBytes(piece, got))
            return kResultFalse;
    }
    const int pos = ReadState(chunk, 0);
    std::int32_t bypassed = 0;
    const int end = pos >= 0 ? chunk.GetInt32(bypassed, pos) : -1;
    const bool complete = end >= 0;
    ReadStateExtension(chunk, end);

    // The host's view follows whatever was restored, complete or not.
    for (int i = 0; i < NParams(); ++i)
        if (Parameter* object = getParameterObject(ParamID(i)))
            object->setNormalized(GetParam(i)->CurrentNormalised());
    if (complete)
        if (Parameter* bypass = getParameterObject(kBypassParamId))
            bypass->setNormalized(bypassed != 0 ? 1.0 : 0.0);
    StateRestored();
    return complete ? kResultOk : kResultFalse;
}

} // namespace iplug
