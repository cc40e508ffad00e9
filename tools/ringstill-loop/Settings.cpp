#include "tools/ringstill-loop/Settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>

namespace ringstill::loop {
namespace {

std::string Normalised(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (!std::isspace(c))
            out.push_back(char(std::tolower(c)));
    return out;
}

// A setting held in the component state rather than in a parameter.
struct StateSetting
{
    std::string name;
    // Rewrites the saved state to carry value; false and a reason if the value is not one of its own.
    std::function<bool(std::vector<std::uint8_t>& state, const std::string& value, std::string& error)> apply;
};

// None yet: the plug-in's settings are all parameters today.
const std::vector<StateSetting>& StateSettings()
{
    static const std::vector<StateSetting> settings;
    return settings;
}

const StateSetting* FindStateSetting(const std::string& name)
{
    for (const StateSetting& s : StateSettings())
        if (Normalised(s.name) == Normalised(name))
            return &s;
    return nullptr;
}

bool ApplyStateSetting(render::RenderSession& session, const StateSetting& setting, const std::string& value,
                       std::string& error)
{
    std::vector<std::uint8_t> state;
    if (!session.GetState(state))
    {
        error = "the plug-in could not save its state for " + setting.name;
        return false;
    }
    if (!setting.apply(state, value, error))
        return false;
    return session.RestoreState(state, error);
}

} // namespace

bool ApplySettings(render::RenderSession& session, const std::vector<std::string>& settings, std::string& error)
{
    // State-held settings first: restoring a state also restores every parameter it holds, which
    // must not undo a parameter given on the same command line.
    for (int pass = 0; pass < 2; ++pass)
        for (const std::string& assignment : settings)
        {
            const std::size_t eq = assignment.find('=');
            const StateSetting* s = eq == std::string::npos ? nullptr : FindStateSetting(assignment.substr(0, eq));
            if (pass == 0 && s != nullptr && !ApplyStateSetting(session, *s, assignment.substr(eq + 1), error))
                return false;
            if (pass == 1 && s == nullptr && !session.Set(assignment, error))
                return false;
        }
    return true;
}

std::vector<std::string> StateSettingNames()
{
    std::vector<std::string> names;
    for (const StateSetting& s : StateSettings())
        names.push_back(s.name);
    return names;
}

} // namespace ringstill::loop
