#include "tools/ringstill-loop/Programmes.h"

#include "tools/ringstill-loop/Dsp.h"
#include "tools/ringstill-render/AudioFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ringstill::loop {
namespace {

// Bumped whenever a generator changes, so stale cached files are never used.
constexpr const char* kCacheVersion = "v1";
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr std::uint64_t kNoiseSeed = 4242;

struct Line
{
    const char* voice;
    int wordsPerMinute;
    const char* text;
};

// Two talkers taking turns: a presenter and a guest.
constexpr Line kScript[] = {
    {"en-gb+m3", 150, "Good evening, everybody, and welcome to the hall."},
    {"en-us+f2", 165, "Thank you. It is a real pleasure to be back here tonight."},
    {"en-gb+m3", 150, "Before we begin, please check that your phones are switched off."},
    {"en-us+f2", 165, "I want to talk about sound, and about the rooms we listen in."},
    {"en-gb+m3", 150, "Every room has a voice of its own. Some ring, and some are dry."},
    {"en-us+f2", 165, "When the microphone hears the loudspeaker, the room starts to sing along."},
    {"en-gb+m3", 150, "That is what we call feedback, and nobody in the audience enjoys it."},
    {"en-us+f2", 165, "So the engineer pulls the fader down, and the talker becomes too quiet."},
    {"en-gb+m3", 150, "Could you say a few words about the early days of live sound?"},
    {"en-us+f2", 165, "Of course. In the early days, we tuned every room by ear, one frequency at a time."},
    {"en-gb+m3", 150, "One, two. One, two. Testing, testing, check, check."},
    {"en-us+f2", 165, "We would play pink noise, listen for the ringing, and cut it with a graphic equaliser."},
    {"en-gb+m3", 150, "And how long did that take, on a typical evening?"},
    {"en-us+f2", 165, "About an hour, if the band arrived on time, which they never did."},
    {"en-gb+m3", 150, "Let us take a few questions from the floor. Yes, the lady at the back."},
    {"en-us+f2", 165, "Thank you all for coming, and have a wonderful evening."},
    {"en-gb+m3", 150, "Our next speaker will join us after a short break of fifteen minutes."},
    {"en-us+f2", 165, "Please remember to collect your coats and bags from the cloakroom."},
};

bool Exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool MakeFolder(const std::string& path, std::string& error)
{
    std::string partial;
    for (std::size_t i = 0; i <= path.size(); ++i)
        if (i == path.size() || (path[i] == '/' && i > 0))
        {
            partial = path.substr(0, i);
            if (!Exists(partial) && mkdir(partial.c_str(), 0755) != 0 && !Exists(partial))
            {
                error = "cannot make the cache folder '" + partial + "'";
                return false;
            }
        }
    return true;
}

bool Run(const std::string& command, const char* tool, const char* package, std::string& error)
{
    if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0)
    {
        error = std::string(tool) + " is missing: install the Debian package " + package + " (scripts/install-deps.sh)";
        return false;
    }
    if (std::system(command.c_str()) != 0)
    {
        error = std::string(tool) + " failed: " + command;
        return false;
    }
    return true;
}

bool ReadMono(const std::string& path, std::vector<double>& out, double& rate, std::string& error)
{
    render::AudioReader reader;
    if (!reader.Open(path, error))
        return false;
    rate = reader.SampleRate();
    const int channels = reader.Channels();
    std::vector<float> buffer(static_cast<std::size_t>(4096) * std::size_t(channels));
    out.clear();
    for (long got = 0; (got = reader.Read(buffer.data(), 4096)) != 0;)
    {
        if (got < 0)
        {
            error = "reading '" + path + "' failed";
            return false;
        }
        for (long i = 0; i < got; ++i)
        {
            double sum = 0.0;
            for (int c = 0; c < channels; ++c)
                sum += buffer[std::size_t(i) * std::size_t(channels) + std::size_t(c)];
            out.push_back(sum / channels);
        }
    }
    return true;
}

bool WriteFloatWav(const std::string& path, const std::vector<double>& x, double rate, std::string& error)
{
    render::AudioWriter writer;
    if (!writer.Create(path, 1, int(rate), SF_FORMAT_FLOAT, error))
        return false;
    std::vector<float> f(x.begin(), x.end());
    return writer.Write(f.data(), long(f.size()), error) && writer.Commit(error);
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

bool MakeSpeech(double rate, const std::string& work, std::vector<double>& out, std::string& error)
{
    std::vector<double> speech;
    for (std::size_t i = 0; i < std::size(kScript); ++i)
    {
        const Line& line = kScript[i];
        const std::string text = work + "/line.txt";
        const std::string wav = work + "/line.wav";
        std::ofstream(text) << line.text << "\n";
        const std::string command = std::string("espeak-ng -v ") + line.voice + " -s " + std::to_string(line.wordsPerMinute)
                                    + " -w " + Quoted(wav) + " -f " + Quoted(text);
        std::vector<double> said;
        double saidRate = 0.0;
        if (!Run(command, "espeak-ng", "espeak-ng", error) || !ReadMono(wav, said, saidRate, error))
            return false;
        said = Resample(said, saidRate, rate);
        speech.insert(speech.end(), said.begin(), said.end());
        // A breath between sentences; longer when the talker changes.
        const double pause = i % 2 == 0 ? 0.45 : 0.7;
        speech.insert(speech.end(), std::size_t(pause * rate), 0.0);
        std::remove(text.c_str());
        std::remove(wav.c_str());
    }
    out = speech;
    return true;
}

bool MakeMusic(double rate, const std::string& work, std::vector<double>& out, std::string& error)
{
    if (!Exists(kSoundFont))
    {
        error = std::string(kSoundFont) + " is missing: install the Debian package fluid-soundfont-gm (scripts/install-deps.sh)";
        return false;
    }
    const std::string midi = work + "/song.mid";
    const std::string wav = work + "/song.wav";
    const std::vector<unsigned char> song = WriteSongMidi();
    std::ofstream(midi, std::ios::binary).write(reinterpret_cast<const char*>(song.data()), std::streamsize(song.size()));
    // Dry instruments: no reverb or chorus of the synthesiser's own; the room adds its own.
    const std::string command = "fluidsynth -ni -q -R 0 -C 0 -g 0.5 -r " + std::to_string(int(rate)) + " -T wav -F "
                                + Quoted(wav) + " " + Quoted(kSoundFont) + " " + Quoted(midi) + " >/dev/null 2>&1";
    double played = 0.0;
    if (!Run(command, "fluidsynth", "fluidsynth", error) || !ReadMono(wav, out, played, error))
        return false;
    if (played != rate)
        out = Resample(out, played, rate);
    std::remove(wav.c_str());
    std::remove(midi.c_str());
    return true;
}

// The level over the active part (50 ms frames within 40 dB of the loudest) set to kProgrammeDbfs,
// and the length set to kProgrammeSeconds (repeating the material if it is shorter).
void Finish(std::vector<double>& x, double rate)
{
    const std::size_t frame = std::size_t(0.05 * rate);
    std::vector<double> levels;
    for (std::size_t at = 0; at + frame <= x.size(); at += frame)
        levels.push_back(RmsOf(x.data() + at, frame));
    const double loudest = levels.empty() ? 0.0 : *std::max_element(levels.begin(), levels.end());
    double sum = 0.0;
    std::size_t count = 0;
    for (double l : levels)
        if (l > loudest * 0.01)
        {
            sum += l * l;
            ++count;
        }
    const double active = count > 0 ? std::sqrt(sum / double(count)) : 1.0;
    const double scale = std::pow(10.0, kProgrammeDbfs / 20.0) / (active > 0 ? active : 1.0);
    const std::size_t length = std::size_t(kProgrammeSeconds * rate);
    std::vector<double> out(length);
    for (std::size_t i = 0; i < length; ++i)
        out[i] = x.empty() ? 0.0 : x[i % x.size()] * scale;
    x = std::move(out);
}

} // namespace

std::vector<std::string> ProgrammeNames() { return {"speech", "music", "noise"}; }

bool LoadProgramme(const std::string& name, double rate, const std::string& cacheDir, Programme& out, std::string& error)
{
    out.name = name;
    if (name == "noise")
    {
        out.samples = PinkNoise(std::size_t(kProgrammeSeconds * rate), rate, kNoiseSeed);
        Finish(out.samples, rate);
        return true;
    }
    if (name != "speech" && name != "music")
    {
        error = "unknown programme '" + name + "' (speech, music, noise)";
        return false;
    }
    if (!MakeFolder(cacheDir, error))
        return false;
    const std::string cached = cacheDir + "/" + name + "-" + std::to_string(int(rate)) + "-" + kCacheVersion + ".wav";
    double cachedRate = 0.0;
    if (Exists(cached) && ReadMono(cached, out.samples, cachedRate, error) && cachedRate == rate
        && out.samples.size() == std::size_t(kProgrammeSeconds * rate))
        return true;
    const std::string work = cacheDir + "/work-" + std::to_string(long(getpid()));
    if (!MakeFolder(work, error))
        return false;
    const bool made = name == "speech" ? MakeSpeech(rate, work, out.samples, error) : MakeMusic(rate, work, out.samples, error);
    rmdir(work.c_str());
    if (!made)
        return false;
    Finish(out.samples, rate);
    return WriteFloatWav(cached, out.samples, rate, error);
}

} // namespace ringstill::loop
