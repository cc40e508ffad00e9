#include "framework/HostKind.h"

#include <cstring>

namespace iplug {

namespace {

struct HostFragment
{
    const char* fragment;
    HostKind kind;
};

// Order matters: "wavelab elements" before "wavelab", and the generic fragments
// ("standalone", "www") last.
constexpr HostFragment kHostFragments[] = {
    {"reaper", kHostReaper},
    {"protools", kHostProTools},
    {"cubase", kHostCubase},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"vegas", kHostVegas},
    {"fruity", kHostFL},
    {"samplitude", kHostSamplitude},
    {"live", kHostAbletonLive},
    {"tracktion", kHostTracktion},
    {"ntracks", kHostNTracks},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"bias", kHostBias},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"garageband", kHostGarageBand},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"ardour", kHostArdour},
    {"renoise", kHostRenoise},
    {"openmpt", kHostOpenMPT},
    {"wavelab elements", kHostWaveLabElements},
    {"wavelab", kHostWaveLab},
    {"twistedwave", kHostTwistedWave},
    {"bitwig studio", kHostBitwig},
    {"reason", kHostReason},
    {"gwvst", kHostGoldWave5x},
    {"waveform", kHostWaveform},
    {"audacity", kHostAudacity},
    {"acoustica", kHostAcoustica},
    {"plugindoctor", kHostPluginDoctor},
    {"izotope rx", kHostiZotopeRX},
    {"savihost", kHostSAVIHost},
    {"blue cat's vst host", kHostBlueCat},
    {"mixbus", kHostMixbus},
    {"standalone", kHostStandalone},
    {"www", kHostWWW},
};

} // namespace

HostKind IdentifyHost(const char* name)
{
    char lower[256];
    int n = 0;
    if (name)
        for (; n < 255 && name[n] != '\0'; ++n)
        {
            const char c = name[n];
            lower[n] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        }
    lower[n] = '\0';
    for (const HostFragment& entry : kHostFragments)
        if (std::strstr(lower, entry.fragment))
            return entry.kind;
    return kHostUnknown;
}

} // namespace iplug
