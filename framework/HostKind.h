// HostKind: the codes by which the framework tells hosts apart, and IdentifyHost,
// which finds the code for a host's name. Pure function, any thread.
#pragma once

namespace iplug {

enum HostKind : int
{
    kHostUninit = -1,
    kHostUnknown = 0,
    kHostReaper = 1,
    kHostProTools = 2,
    kHostCubase = 3,
    kHostNuendo = 4,
    kHostSonar = 5,
    kHostVegas = 6,
    kHostFL = 7,
    kHostSamplitude = 8,
    kHostAbletonLive = 9,
    kHostTracktion = 10,
    kHostNTracks = 11,
    kHostMelodyneStudio = 12,
    kHostVSTScanner = 13,
    kHostAULab = 14,
    kHostForte = 15,
    kHostChainer = 16,
    kHostAudition = 17,
    kHostOrion = 18,
    kHostBias = 19,
    kHostSAWStudio = 20,
    kHostLogic = 21,
    kHostGarageBand = 22,
    kHostDigitalPerformer = 23,
    kHostStandalone = 24,
    kHostAudioMulch = 25,
    kHostStudioOne = 26,
    kHostVST3TestHost = 27,
    kHostArdour = 28,
    kHostRenoise = 29,
    kHostOpenMPT = 30,
    kHostWaveLab = 31,
    kHostWaveLabElements = 32,
    kHostTwistedWave = 33,
    kHostBitwig = 34,
    kHostWWW = 35,
    kHostReason = 36,
    kHostGoldWave5x = 37,
    kHostWaveform = 38,
    kHostAudacity = 39,
    kHostAcoustica = 40,
    kHostPluginDoctor = 41,
    kHostiZotopeRX = 42,
    kHostSAVIHost = 43,
    kHostBlueCat = 44,
    kHostMixbus = 45,
};

// Lower-cases the name (at most 255 characters) and tests the known name fragments
// in a fixed order; the first match wins, no match gives kHostUnknown.
HostKind IdentifyHost(const char* name);

} // namespace iplug
