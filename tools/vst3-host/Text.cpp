#include "tools/vst3-host/Text.h"

namespace ringstill::vst3host {

void CopyToString128(const std::string& text, Steinberg::char16* field, int size)
{
    if (field == nullptr || size <= 0)
        return;
    int i = 0;
    for (; i < size - 1 && i < static_cast<int>(text.size()); ++i)
        field[i] = static_cast<Steinberg::char16>(static_cast<unsigned char>(text[static_cast<size_t>(i)]));
    field[i] = 0;
}

std::string Narrow(const Steinberg::char16* text, int maxUnits)
{
    std::string result;
    if (text == nullptr)
        return result;
    for (int i = 0; i < maxUnits && text[i] != 0; ++i)
        result += text[i] < 128 ? static_cast<char>(text[i]) : '?';
    return result;
}

std::u16string Widen(const std::string& text)
{
    std::u16string result;
    for (unsigned char c : text)
        result += static_cast<char16_t>(c);
    return result;
}

} // namespace ringstill::vst3host
