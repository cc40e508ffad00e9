// The bench's results as a table on the terminal and as JSON. Main thread.
#pragma once

#include "tools/ringstill-loop/Bench.h"

#include <cstdio>
#include <string>

namespace ringstill::loop {

struct RunInfo
{
    std::string subject;   // what was measured: the plug-in and its settings
    std::string plugin;    // the module's path
    std::string date;      // UTC, ISO 8601
    std::string machine;   // processor and core count
};

void PrintTable(const BenchResults& results, const RunInfo& info, std::FILE* out);
bool WriteJson(const BenchResults& results, const RunInfo& info, const std::string& path, std::string& error);

} // namespace ringstill::loop
