#include "framework/ProcessLock.h"

#include <mutex>

namespace iplug {
namespace {
// Never destroyed: a host may create a plug-in while the module unloads statics.
std::mutex& Mutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}
} // namespace

void ProcessLock::Lock() { Mutex().lock(); }
void ProcessLock::Unlock() { Mutex().unlock(); }

} // namespace iplug
