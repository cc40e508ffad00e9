// The music programme's score: 24 bars at 72 beats a minute (80 s) in D major, written as a
// Standard MIDI File. Sustained strings and a voice-like pad hold long chord tones, a flute plays a
// slow melody: the steady, narrow tones that a feedback detector can take for a howl.
#include "tools/ringstill-loop/Programmes.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace ringstill::loop {
namespace {

constexpr int kTicksPerBeat = 480;
constexpr int kBar = 4 * kTicksPerBeat;
constexpr std::uint32_t kMicrosecondsPerBeat = 833333; // 72 beats a minute

struct Event
{
    int tick;
    int order; // note-offs before note-ons at the same tick
    std::vector<unsigned char> bytes;
};

class Track
{
public:
    explicit Track(int channel) : channel(channel) {}
    void Program(int program) { events.push_back({0, 0, {static_cast<unsigned char>(0xC0 | channel), static_cast<unsigned char>(program)}}); }
    void Note(int tick, int length, int pitch, int velocity)
    {
        events.push_back({tick, 1, {static_cast<unsigned char>(0x90 | channel), static_cast<unsigned char>(pitch), static_cast<unsigned char>(velocity)}});
        events.push_back({tick + length, 0, {static_cast<unsigned char>(0x80 | channel), static_cast<unsigned char>(pitch), 0}});
    }
    void Meta(int tick, unsigned char type, std::vector<unsigned char> data)
    {
        std::vector<unsigned char> bytes = {0xFF, type, static_cast<unsigned char>(data.size())};
        bytes.insert(bytes.end(), data.begin(), data.end());
        events.push_back({tick, 0, bytes});
    }
    std::vector<unsigned char> Encode()
    {
        std::stable_sort(events.begin(), events.end(),
                         [](const Event& a, const Event& b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
        std::vector<unsigned char> body;
        int last = 0;
        for (const Event& e : events)
        {
            PutVariable(body, std::uint32_t(e.tick - last));
            last = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        std::vector<unsigned char> chunk = {'M', 'T', 'r', 'k'};
        PutBigEndian(chunk, std::uint32_t(body.size()), 4);
        chunk.insert(chunk.end(), body.begin(), body.end());
        return chunk;
    }

    static void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xFF));
    }

private:
    static void PutVariable(std::vector<unsigned char>& out, std::uint32_t value)
    {
        unsigned char groups[5];
        int count = 0;
        do
        {
            groups[count++] = static_cast<unsigned char>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        for (int i = count - 1; i >= 0; --i)
            out.push_back(static_cast<unsigned char>(groups[i] | (i > 0 ? 0x80 : 0)));
    }

    int channel;
    std::vector<Event> events;
};

// Root-position triads, low voicing (MIDI note numbers).
using Chord = std::array<int, 3>;
constexpr Chord kD = {50, 54, 57}, kBm = {47, 50, 54}, kG = {43, 47, 50}, kA = {45, 49, 52}, kFsm = {42, 45, 49},
                kEm = {40, 43, 47};
constexpr std::array<Chord, 24> kChords = {kD, kBm, kG, kA, kD, kFsm, kEm, kA, kG, kD, kEm, kA,
                                           kBm, kG, kD, kA, kD, kBm, kG, kA, kEm, kG, kA, kD};

// The flute's melody: (pitch or 0 for a rest, beats), four beats a bar.
struct MelodyNote
{
    int pitch;
    int beats;
};
constexpr MelodyNote kMelody[] = {
    {78, 2}, {81, 2}, {83, 4}, {86, 2}, {83, 1}, {81, 1}, {81, 4},          // bars 1-4
    {78, 3}, {76, 1}, {73, 4}, {71, 2}, {76, 2}, {76, 4},                   // 5-8
    {0, 4}, {74, 4}, {79, 2}, {78, 2}, {76, 4},                             // 9-12
    {78, 4}, {79, 2}, {83, 2}, {81, 4}, {0, 4},                             // 13-16
    {78, 2}, {81, 2}, {83, 4}, {86, 4}, {85, 4}, {83, 2}, {79, 2}, {78, 2}, {76, 2}, {74, 8}, // 17-24
};

} // namespace

std::vector<unsigned char> WriteSongMidi()
{
    Track conductor(0);
    conductor.Meta(0, 0x51, {static_cast<unsigned char>(kMicrosecondsPerBeat >> 16), static_cast<unsigned char>((kMicrosecondsPerBeat >> 8) & 0xFF), static_cast<unsigned char>(kMicrosecondsPerBeat & 0xFF)});
    conductor.Meta(0, 0x58, {4, 2, 24, 8});
    Track strings(0), pad(1), piano(2), bass(3), flute(4);
    strings.Program(48); // String Ensemble 1
    pad.Program(54);     // Synth Voice
    piano.Program(0);    // Acoustic Grand Piano
    bass.Program(32);    // Acoustic Bass
    flute.Program(73);   // Flute
    for (std::size_t bar = 0; bar < kChords.size(); ++bar)
    {
        const int at = int(bar) * kBar;
        const Chord& c = kChords[bar];
        for (int pitch : c)
            strings.Note(at, kBar - 10, pitch + 12, 64);
        // The pad holds the chord's third two octaves up across each pair of bars.
        if (bar % 2 == 0)
            pad.Note(at, 2 * kBar - 20, c[1] + 24, 58);
        bass.Note(at, 2 * kTicksPerBeat - 20, c[0] - 12, 92);
        bass.Note(at + 2 * kTicksPerBeat, 2 * kTicksPerBeat - 20, c[0] - 12, 84);
        const int arpeggio[8] = {c[0] + 12, c[2] + 12, c[1] + 24, c[2] + 12, c[0] + 24, c[2] + 12, c[1] + 24, c[2] + 12};
        for (int i = 0; i < 8; ++i)
            piano.Note(at + i * kTicksPerBeat / 2, kTicksPerBeat / 2 - 10, arpeggio[i], i % 2 == 0 ? 72 : 60);
    }
    int tick = 0;
    for (const MelodyNote& note : kMelody)
    {
        if (note.pitch > 0)
            flute.Note(tick, note.beats * kTicksPerBeat - 30, note.pitch, 80);
        tick += note.beats * kTicksPerBeat;
    }

    std::vector<unsigned char> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 6};
    Track::PutBigEndian(file, kTicksPerBeat, 2);
    for (Track* t : {&conductor, &strings, &pad, &piano, &bass, &flute})
    {
        const std::vector<unsigned char> chunk = t->Encode();
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

} // namespace ringstill::loop
