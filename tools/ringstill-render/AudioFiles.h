// Audio files for the render tool, through libsndfile: a reader of WAV, FLAC, AIFF (and whatever
// else libsndfile reads), and a writer that writes into a temporary file beside the target and
// renames it into place only when everything was written, so a failed render never leaves a
// partial file under the requested name. One thread.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

namespace ringstill::render {

class AudioReader
{
public:
    ~AudioReader();
    // False and a one-line reason when the file cannot be opened as audio.
    bool Open(const std::string& path, std::string& error);
    int Channels() const { return info.channels; }
    int SampleRate() const { return info.samplerate; }
    std::int64_t Frames() const { return info.frames; }
    int Format() const { return info.format; }
    // Interleaved samples; returns the frames read (0 at the end), -1 on a read error.
    long Read(float* interleaved, long frames);

private:
    SNDFILE* file = nullptr;
    SF_INFO info {};
};

class AudioWriter
{
public:
    ~AudioWriter(); // discards an uncommitted file
    // The container follows the target's extension (.wav, .flac, .aif/.aiff); the sample format
    // follows preferredFormat's when the container takes it, else 24-bit PCM.
    bool Create(const std::string& path, int channels, int sampleRate, int preferredFormat, std::string& error);
    bool Write(const float* interleaved, long frames, std::string& error);
    // Closes the temporary file and renames it to the target.
    bool Commit(std::string& error);
    void Discard();

private:
    SNDFILE* file = nullptr;
    std::string target;
    std::string temporary;
};

// Writes bytes to path through a temporary file and a rename.
bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error);

} // namespace ringstill::render
