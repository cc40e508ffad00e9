#include "vst3/ClassInfo.h"

#include <cstring>

namespace ringstill::vst3 {

static void PutLittle16(std::uint32_t value, char* out)
{
    out[0] = static_cast<char>(value & 0xFF);
    out[1] = static_cast<char>((value >> 8) & 0xFF);
}

static void PutBig32(std::uint32_t value, char* out)
{
    out[0] = static_cast<char>((value >> 24) & 0xFF);
    out[1] = static_cast<char>((value >> 16) & 0xFF);
    out[2] = static_cast<char>((value >> 8) & 0xFF);
    out[3] = static_cast<char>(value & 0xFF);
}

void MakeClassId(std::uint32_t w1, std::uint32_t w2, std::uint32_t w3, std::uint32_t w4,
                 Steinberg::TUID out)
{
    PutLittle16(w1 & 0xFFFF, out);
    PutLittle16(w1 >> 16, out + 2);
    PutLittle16(w2 >> 16, out + 4);
    PutLittle16(w2 & 0xFFFF, out + 6);
    PutBig32(w3, out + 8);
    PutBig32(w4, out + 12);
}

// Copies text into a fixed field, always terminated, the rest zero.
template <std::size_t N>
static void CopyField(Steinberg::char8 (&field)[N], const char* text)
{
    std::memset(field, 0, N);
    if (text != nullptr)
        std::strncpy(field, text, N - 1);
}

Steinberg::PFactoryInfo MakeFactoryInfo()
{
    Steinberg::PFactoryInfo info;
    CopyField(info.vendor, kVendorName);
    CopyField(info.url, kVendorUrl);
    CopyField(info.email, kVendorEmail);
    info.flags = Steinberg::PFactoryInfo::kUnicode;
    return info;
}

Steinberg::PClassInfo2 MakeEffectClassInfo(const char* name, std::uint32_t makerCode,
                                           std::uint32_t pluginCode)
{
    Steinberg::PClassInfo2 info;
    MakeClassId(kClassIdWord1, kClassIdWord2, makerCode, pluginCode, info.cid);
    info.cardinality = Steinberg::PClassInfo::kManyInstances;
    CopyField(info.category, kEffectCategory);
    CopyField(info.name, name);
    info.classFlags = kEffectClassFlags;
    CopyField(info.subCategories, kEffectSubCategories);
    CopyField(info.vendor, "");
    CopyField(info.version, kVersionText);
    CopyField(info.sdkVersion, kEffectSdkVersion);
    return info;
}

} // namespace ringstill::vst3
