// IParam: one automatable parameter of the plug-in: kind, range, step, default,
// flags, label, group, the value <-> normalised mapping (IParam::Shape) and display
// texts for particular values.
//
// Owned by the plug-in's editor delegate (its parameter list). The definition
// (Define*, AddDisplayText) happens once in the effect's constructor, before a host
// sees the plug-in; afterwards only the value changes. The value is one atomic
// double: Constrain/Store/Current/Normalise/Denormalise are safe from any thread and
// never allocate or lock, so the audio thread may call them. FormatDisplay and
// ParseDisplayText are for the UI and host threads only.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace iplug {

enum class ParamType : int
{
    None = 0,
    Bool = 1,
    Enum = 3,
    Double = 4,
};

// Bit set.
enum class ParamFlags : int
{
    None = 0,
    NotAutomatable = 1, // registered with the host without the automatable flag
    Stepped = 2,        // values are rounded to the step
    NegateDisplay = 4,  // displayed and parsed numbers have their sign inverted
    SignDisplay = 8,    // non-zero values show an explicit + or -
};

constexpr ParamFlags operator|(ParamFlags a, ParamFlags b) { return ParamFlags(int(a) | int(b)); }
constexpr ParamFlags operator&(ParamFlags a, ParamFlags b) { return ParamFlags(int(a) & int(b)); }
constexpr bool HasFlag(ParamFlags set, ParamFlags flag) { return (int(set) & int(flag)) != 0; }

// Where a parameter change came from.
enum class ParamSource : int
{
    Reset = 0,
    Host = 1,
    PresetRecall = 2,
    Editor = 3,
    Delegate = 4,
};

// Fixed text fields hold 31 characters plus the terminator; longer texts are cut.
inline constexpr int kParamTextSize = 32;

struct DisplayTextEntry
{
    double value = 0.0;
    char text[kParamTextSize] = {};
};

class IParam
{
public:
    // Maps between plain values and the host's normalised 0..1 position.
    class Shape
    {
    public:
        virtual ~Shape() = default;
        virtual std::unique_ptr<Shape> Clone() const = 0;
        virtual void Init(const IParam& param) = 0;
        virtual int DisplayKind() const = 0;
        virtual double ValueFromNormalised(double normalised, const IParam& param) const = 0;
        virtual double NormalisedFromValue(double value, const IParam& param) const = 0;
    };

    class ShapeLinear final : public Shape
    {
    public:
        std::unique_ptr<Shape> Clone() const override { return std::make_unique<ShapeLinear>(*this); }
        void Init(const IParam&) override {}
        int DisplayKind() const override { return 0; }
        double ValueFromNormalised(double normalised, const IParam& param) const override;
        double NormalisedFromValue(double value, const IParam& param) const override;
    };

    // Replaces all other formatting when set; writes at most textSize - 1 characters.
    using DisplayFunc = std::function<void(double value, char* text, std::size_t textSize)>;

    IParam();
    IParam(const IParam&) = delete;
    IParam& operator=(const IParam&) = delete;

    // Definition, constructor thread only.
    void DefineDouble(const char* name, double defaultValue, double min, double max, double step,
                      const char* label = "", ParamFlags flags = ParamFlags::None, const char* group = "",
                      const Shape& shape = ShapeLinear(), DisplayFunc displayFunc = nullptr);
    void DefineEnum(const char* name, int defaultValue, int count, const char* label = "",
                    ParamFlags flags = ParamFlags::None, const char* group = "",
                    std::initializer_list<const char*> texts = {});
    void DefineBool(const char* name, bool defaultValue = false);
    void AddDisplayText(double value, const char* text);

    // Any thread; never allocates or locks. A NaN becomes the default, +/-inf the nearest bound.
    double ConstrainValue(double value) const;
    void StoreValue(double value) { this->value.store(ConstrainValue(value), std::memory_order_relaxed); }
    double CurrentValue() const { return value.load(std::memory_order_relaxed); }
    double NormaliseValue(double value) const;
    double DenormaliseValue(double normalised) const;
    void StoreNormalised(double normalised) { StoreValue(DenormaliseValue(normalised)); }
    double CurrentNormalised() const { return NormaliseValue(CurrentValue()); }

    // UI / host threads. Writes at most min(textSize, 32) - 1 characters and a terminator.
    void FormatDisplay(double value, bool isNormalised, char* text, std::size_t textSize,
                       bool useDisplayTexts = true) const;
    double ParseDisplayText(const char* text) const;

    // The display text naming exactly this value, or nullptr.
    const char* DisplayTextFor(double value) const;

    const char* GetName() const { return name; }
    const char* GetLabel() const { return label; }
    const char* GetGroup() const { return group; }
    ParamType Type() const { return type; }
    double GetMin() const { return min; }
    double GetMax() const { return max; }
    double GetStep() const { return step; }
    double GetDefault() const { return defaultValue; }
    double GetDefaultNormalised() const { return NormaliseValue(defaultValue); }
    ParamFlags GetFlags() const { return flags; }
    bool HasFlag(ParamFlags flag) const { return iplug::HasFlag(flags, flag); }
    int GetDisplayPrecision() const { return displayPrecision; }
    const std::vector<DisplayTextEntry>& DisplayTexts() const { return displayTexts; }
    const Shape& GetShape() const { return *shape; }

private:
    ParamType type = ParamType::None;
    std::atomic<double> value{0.0};
    double min = 0.0;
    double max = 1.0;
    double step = 1.0;
    double defaultValue = 0.0;
    int displayPrecision = 0;
    ParamFlags flags = ParamFlags::None;
    char name[kParamTextSize] = {};
    char label[kParamTextSize] = {};
    char group[kParamTextSize] = {};
    std::unique_ptr<Shape> shape;
    DisplayFunc displayFunc;
    std::vector<DisplayTextEntry> displayTexts;

    static_assert(std::atomic<double>::is_always_lock_free, "parameter values must be lock-free");
};

} // namespace iplug
