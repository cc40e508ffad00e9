#include "framework/ProcessLock.h"

#include <mutex>

namespace iplug {
namespace {
// Constant-initialised, so it works before and during the module's static construction, and
// owns no memory that could outlive the module.
constinit std::mutex mutex;
std::mutex& Mutex() { return mutex; }
} // namespace

void ProcessLock::Lock() { Mutex().lock(); }
void ProcessLock::Unlock() { Mutex().unlock(); }

} // namespace iplug
