#include "tools/ringstill-render/EditorSnapshot.h"

#include "editor/RingstillEditor.h"
#include "effect/Ringstill.h"
#include "framework/ByteChunk.h"
#include "framework/IGraphics.h"
#include "graphics/CairoBackend.h"
#include "graphics/OffscreenSnapshot.h"

#include <algorithm>
#include <cstdio>

namespace ringstill::render {

EditorSnapshot::EditorSnapshot(int channels, double sampleRate, int blockSize)
    : fx(std::make_unique<ringstill::Ringstill>(iplug::InstanceInfo {})),
      channels(std::clamp(channels, 1, 2)),
      blockSize(std::max(blockSize, 1)),
      idleInterval(std::max(1, int(sampleRate * 0.020)))
{
    fx->SetSampleRate(sampleRate);
    fx->SetBlockCapacity(this->blockSize);
    fx->CreateLatencyDelay();
    in.assign(2, std::vector<double>(std::size_t(this->blockSize), 0.0));
    out.assign(2, std::vector<double>(std::size_t(this->blockSize), 0.0));
    for (int c = 0; c < 2; ++c)
    {
        if (c < this->channels)
        {
            fx->ConnectChannel(iplug::kInput, c, in[std::size_t(c)].data());
            fx->ConnectChannel(iplug::kOutput, c, out[std::size_t(c)].data());
        }
        else
        {
            fx->DisconnectChannel(iplug::kInput, c);
            fx->DisconnectChannel(iplug::kOutput, c);
        }
    }
    fx->ResetDsp();
    InstallEditor(*fx, fx->Feed(), igraphics::CairoGraphicsBackend());
    fx->OpenEditor();
}

EditorSnapshot::~EditorSnapshot() = default;

bool EditorSnapshot::SetState(const std::vector<std::uint8_t>& componentState)
{
    iplug::ByteChunk chunk;
    if (!chunk.PutBytes(componentState.data(), int(componentState.size())))
        return false;
    if (fx->ReadState(chunk, 0) < 0)
        return false;
    fx->StateRestored();
    return true;
}

void EditorSnapshot::Process(const float* interleaved, int frames)
{
    frames = std::clamp(frames, 0, blockSize);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            in[std::size_t(c)][std::size_t(i)] = interleaved[std::size_t(i) * std::size_t(channels) + std::size_t(c)];
    fx->ProcessAudioBlock(fx->InputPointers(), fx->OutputPointers(), frames);
    sinceIdle += frames;
    if (sinceIdle >= idleInterval)
    {
        sinceIdle = 0;
        fx->IdleUpdate();
    }
}

bool EditorSnapshot::Write(const std::string& path, std::string& error)
{
    fx->IdleUpdate();
    igraphics::IGraphics* ui = fx->GetUI();
    const std::string temporary = path + ".part";
    if (ui == nullptr || !igraphics::WriteSnapshotPng(*ui, temporary.c_str()))
    {
        std::remove(temporary.c_str());
        error = "cannot draw the editor into '" + path + "'";
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        error = "cannot write '" + path + "'";
        return false;
    }
    return true;
}

} // namespace ringstill::render
