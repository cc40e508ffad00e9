// The editor's picture at the end of a render. A VST 3 view can only draw into a host's window, so
// the tool runs the same effect and editor code in-process beside the module: given the module's
// state once its settings are in, and fed the same blocks, it detects the same notches and shows the
// same spectrum, and its editor is drawn offscreen into a PNG. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ringstill {
class Ringstill;
}

namespace ringstill::render {

class EditorSnapshot
{
public:
    EditorSnapshot(int channels, double sampleRate, int blockSize);
    ~EditorSnapshot();

    // The module's component state (the effect's chunk, then the host's bypass flag).
    bool SetState(const std::vector<std::uint8_t>& componentState);
    // Interleaved frames, at most the block size. Runs the editor's idle update every 20 ms of audio,
    // as a host's idle timer would while the transport plays.
    void Process(const float* interleaved, int frames);
    // Draws the whole editor and writes it as PNG (through a temporary file and a rename).
    bool Write(const std::string& path, std::string& error);

private:
    std::unique_ptr<ringstill::Ringstill> fx;
    int channels;
    int blockSize;
    int idleInterval;
    int sinceIdle = 0;
    std::vector<std::vector<double>> in;
    std::vector<std::vector<double>> out;
};

} // namespace ringstill::render
