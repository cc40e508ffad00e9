#include "tools/ringstill-render/AudioFiles.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ringstill::render {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string Extension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return Lower(path.substr(dot + 1));
}

int ContainerFor(const std::string& path)
{
    const std::string ext = Extension(path);
    if (ext == "wav")
        return SF_FORMAT_WAV;
    if (ext == "flac")
        return SF_FORMAT_FLAC;
    if (ext == "aif" || ext == "aiff" || ext == "aifc")
        return SF_FORMAT_AIFF;
    return 0;
}

// A temporary name in the target's folder, so the final rename stays on one file system.
std::string TemporaryNameFor(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + base + ".partial-" + std::to_string(long(getpid()));
}

} // namespace

AudioReader::~AudioReader()
{
    if (file != nullptr)
        sf_close(file);
}

bool AudioReader::Open(const std::string& path, std::string& error)
{
    info = {};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
    {
        error = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1)
    {
        error = "'" + path + "' has no audio channels";
        return false;
    }
    return true;
}

long AudioReader::Read(float* interleaved, long frames)
{
    const sf_count_t got = sf_readf_float(file, interleaved, frames);
    if (got < 0 || (got < frames && sf_error(file) != SF_ERR_NO_ERROR))
        return -1;
    return long(got);
}

AudioWriter::~AudioWriter() { Discard(); }

bool AudioWriter::Create(const std::string& path, int channels, int sampleRate, int preferredFormat,
                         std::string& error)
{
    const int container = ContainerFor(path);
    if (container == 0)
    {
        error = "cannot tell the output format from '" + path + "' (use .wav, .flac or .aiff)";
        return false;
    }
    SF_INFO info {};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = container | (preferredFormat & SF_FORMAT_SUBMASK);
    if (!sf_format_check(&info))
        info.format = container | SF_FORMAT_PCM_24;
    if (!sf_format_check(&info))
    {
        error = "'" + path + "' cannot hold " + std::to_string(channels) + " channels at "
                + std::to_string(sampleRate) + " Hz";
        return false;
    }
    target = path;
    temporary = TemporaryNameFor(path);
    file = sf_open(temporary.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
    {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        temporary.clear();
        return false;
    }
    // Integer formats clip instead of wrapping round.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::Write(const float* interleaved, long frames, std::string& error)
{
    if (frames <= 0)
        return true;
    if (sf_writef_float(file, interleaved, frames) != frames)
    {
        error = "writing '" + target + "' failed: " + sf_strerror(file);
        return false;
    }
    return true;
}

bool AudioWriter::Commit(std::string& error)
{
    if (file == nullptr)
        return false;
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0 || std::rename(temporary.c_str(), target.c_str()) != 0)
    {
        error = "cannot finish '" + target + "': " + std::strerror(errno);
        std::remove(temporary.c_str());
        temporary.clear();
        return false;
    }
    temporary.clear();
    return true;
}

void AudioWriter::Discard()
{
    if (file != nullptr)
    {
        sf_close(file);
        file = nullptr;
    }
    if (!temporary.empty())
    {
        std::remove(temporary.c_str());
        temporary.clear();
    }
}

bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size, std::string& error)
{
    const std::string temporary = TemporaryNameFor(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr)
    {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, size, out) == size;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace ringstill::render
