#include "framework/IParam.h"

#include "framework/TextCopy.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace iplug {

double IParam::ShapeLinear::ValueFromNormalised(double normalised, const IParam& param) const
{
    return param.GetMin() + normalised * (param.GetMax() - param.GetMin());
}

double IParam::ShapeLinear::NormalisedFromValue(double value, const IParam& param) const
{
    const double range = param.GetMax() - param.GetMin();
    if (!(range > 0.0))
        return 0.0;
    return (value - param.GetMin()) / range;
}

IParam::IParam() : shape(std::make_unique<ShapeLinear>()) {}

void IParam::DefineDouble(const char* name, double defaultValue, double min, double max, double step,
                          const char* label, ParamFlags flags, const char* group, const Shape& shape,
                          DisplayFunc displayFunc)
{
    if (type == ParamType::None)
        type = ParamType::Double;
    CopyText(this->name, sizeof this->name, name);
    CopyText(this->label, sizeof this->label, label);
    CopyText(this->group, sizeof this->group, group);
    this->min = min;
    this->max = (min + step > max) ? min + step : max;
    this->step = step;
    this->defaultValue = defaultValue;
    this->flags = flags;
    this->displayFunc = std::move(displayFunc);
    value.store(ConstrainValue(defaultValue), std::memory_order_relaxed);

    displayPrecision = 0;
    double s = step;
    while (displayPrecision <= 5 && s != std::floor(s))
    {
        ++displayPrecision;
        s *= 10.0;
    }

    this->shape = shape.Clone();
    this->shape->Init(*this);
}

void IParam::DefineEnum(const char* name, int defaultValue, int count, const char* label, ParamFlags flags,
                        const char* group, std::initializer_list<const char*> texts)
{
    if (type == ParamType::None)
        type = ParamType::Enum;
    DefineDouble(name, defaultValue, 0.0, double(count - 1), 1.0, label, flags | ParamFlags::Stepped, group);
    int i = 0;
    for (const char* text : texts)
    {
        if (i >= count)
            break;
        AddDisplayText(i++, text);
    }
}

void IParam::DefineBool(const char* name, bool defaultValue)
{
    if (type == ParamType::None)
        type = ParamType::Bool;
    DefineEnum(name, defaultValue ? 1 : 0, 2, "", ParamFlags::Stepped, "");
    AddDisplayText(0.0, "off");
    AddDisplayText(1.0, "on");
}

void IParam::AddDisplayText(double value, const char* text)
{
    DisplayTextEntry entry;
    entry.value = value;
    CopyText(entry.text, sizeof entry.text, text);
    displayTexts.push_back(entry);
}

double IParam::ConstrainValue(double v) const
{
    // A NaN from a host, a state chunk or a sum never reaches the parameter.
    if (std::isnan(v))
        v = std::isnan(defaultValue) ? min : defaultValue;
    if (HasFlag(ParamFlags::Stepped) && step > 0.0)
        v = std::round(v / step) * step;
    if (v < min)
        v = min;
    if (v > max)
        v = max;
    return v;
}

double IParam::NormaliseValue(double v) const
{
    const double n = shape->NormalisedFromValue(ConstrainValue(v), *this);
    if (!(n > 0.0))
        return 0.0;
    return n > 1.0 ? 1.0 : n;
}

double IParam::DenormaliseValue(double normalised) const
{
    return ConstrainValue(shape->ValueFromNormalised(normalised, *this));
}

const char* IParam::DisplayTextFor(double v) const
{
    for (const DisplayTextEntry& entry : displayTexts)
        if (entry.value == v && entry.text[0] != '\0')
            return entry.text;
    return nullptr;
}

namespace {

// Fixed-point text without the C locale's decimal separator: hosts may set a
// locale that writes a comma, and the same text must parse back.
void WriteFixed(double v, int decimals, bool plusSign, char* text, std::size_t textSize)
{
    char buffer[400];
    char* first = buffer;
    if (plusSign && v > 0.0)
        *first++ = '+';
    const auto result = std::to_chars(first, buffer + sizeof buffer - 1, v, std::chars_format::fixed, decimals);
    *(result.ec == std::errc() ? result.ptr : first) = '\0';
    CopyText(text, textSize, buffer);
}

} // namespace

void IParam::FormatDisplay(double v, bool isNormalised, char* text, std::size_t textSize,
                           bool useDisplayTexts) const
{
    if (!text || textSize == 0)
        return;
    if (textSize > std::size_t(kParamTextSize))
        textSize = kParamTextSize;
    text[0] = '\0';

    if (isNormalised)
        v = DenormaliseValue(v);
    else if (!std::isfinite(v))
        v = ConstrainValue(v);

    if (displayFunc)
    {
        displayFunc(v, text, textSize);
        text[textSize - 1] = '\0';
        return;
    }

    if (useDisplayTexts)
        if (const char* named = DisplayTextFor(v))
        {
            CopyText(text, textSize, named);
            return;
        }

    if (HasFlag(ParamFlags::NegateDisplay))
        v = -v;
    if (v == 0.0)
        v = 0.0; // drops the sign of -0

    if (displayPrecision > 0)
    {
        WriteFixed(v, displayPrecision, HasFlag(ParamFlags::SignDisplay) && v != 0.0, text, textSize);
        return;
    }
    double rounded = std::round(v);
    if (rounded == 0.0)
        rounded = 0.0;
    WriteFixed(rounded, 0, false, text, textSize);
}

double IParam::ParseDisplayText(const char* text) const
{
    if (!text)
        text = "";
    for (const DisplayTextEntry& entry : displayTexts)
        if (std::strcmp(entry.text, text) == 0)
            return entry.value;

    if (type == ParamType::Enum || type == ParamType::Bool)
        return 0.0;

    // The leading number of the text, as strtod would read it, but locale-free.
    const char* p = text;
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p == '+' && p[1] != '-')
        ++p;
    double v = 0.0;
    const auto result = std::from_chars(p, p + std::strlen(p), v, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
    {
        // Too large a magnitude saturates (and is then clamped); too small reads as 0.
        const char* e = std::strpbrk(p, "eE");
        const bool tiny = e && e < result.ptr && e[1] == '-';
        v = tiny ? 0.0 : (*p == '-' ? -HUGE_VAL : HUGE_VAL);
    }
    else if (result.ec != std::errc())
        v = 0.0;

    if (HasFlag(ParamFlags::NegateDisplay))
        v = -v;
    return ConstrainValue(v);
}

} // namespace iplug
