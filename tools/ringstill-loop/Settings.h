// The settings a bench run gives the plug-in, all as "Name=Value". A name is first looked up among
// the plug-in's parameters (by title, in its units or by one of its value texts). A setting that is
// not a parameter but lives in the component state (an extension written after the parameter
// chunk) gets an entry in the table in Settings.cpp: its name, and how it rewrites the state bytes.
// Host main thread.
#pragma once

#include "tools/ringstill-render/RenderSession.h"

#include <string>
#include <vector>

namespace ringstill::loop {

bool ApplySettings(render::RenderSession& session, const std::vector<std::string>& settings, std::string& error);

// Names of the state-held settings known to the bench, for --list.
std::vector<std::string> StateSettingNames();

} // namespace ringstill::loop
