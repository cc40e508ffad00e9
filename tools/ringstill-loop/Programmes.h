// The programme material: what the talker or the band sends into the microphone. Speech from
// espeak-ng (two voices), music from fluidsynth with the General MIDI sound font playing a song the
// bench writes itself (sustained strings, piano, a voice-like pad, bass, flute), and seeded pink
// noise. Made on first use and kept in a cache folder; every run of every mode uses the same files.
// Main thread.
#pragma once

#include <string>
#include <vector>

namespace ringstill::loop {

inline constexpr double kProgrammeSeconds = 80.0;
// Active level at the microphone; loudspeaker headroom and ambient noise are set against it.
inline constexpr double kProgrammeDbfs = -30.0;

struct Programme
{
    std::string name;
    std::vector<double> samples; // kProgrammeSeconds at the run's rate, at kProgrammeDbfs
};

std::vector<std::string> ProgrammeNames(); // "speech", "music", "noise"

// The named programme at sampleRate from the cache (made there when missing). False and a reason
// when a generator is missing or fails.
bool LoadProgramme(const std::string& name, double sampleRate, const std::string& cacheDir, Programme& out,
                   std::string& error);

// The song as a Standard MIDI File.
std::vector<unsigned char> WriteSongMidi();

} // namespace ringstill::loop
