// --plot: one PNG with a row per run (the catch runs at MSG + 3 dB, then the open-loop runs): the
// loop's level over time above, the notches seen in the plug-in's transfer below (frequency over
// time, depth as colour). Main thread.
#pragma once

#include "tools/ringstill-loop/Bench.h"
#include "tools/ringstill-loop/Report.h"

#include <string>

namespace ringstill::loop {

bool WritePlot(const BenchResults& results, const RunInfo& info, const std::string& path, std::string& error);

} // namespace ringstill::loop
