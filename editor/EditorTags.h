// Tags by which the effect's idle hook finds the editor's controls. Tag 9 is unused.
#pragma once

namespace ringstill {

enum EditorTag : int
{
    kSpectrumTag = 0,
    kBankTag = 1,
    kInputMeterTag = 2,
    kOutputMeterTag = 3,
    kReduceTag = 4,
    kFrequencyTag = 5,
    kBandwidthTag = 6,
    kFilterTextTag = 7,
    kActiveCountTag = 8,
    kReduceValueTag = 10,
    kFrequencyValueTag = 11,
    kBandwidthValueTag = 12,
    kAboutTag = 13,
    kAutoCatchModeTag = 14,
};

} // namespace ringstill
