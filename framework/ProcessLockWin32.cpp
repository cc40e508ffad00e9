#include "framework/ProcessLock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace iplug {
namespace {
struct SectionHolder
{
    SectionHolder() { InitializeCriticalSection(&cs); }
    CRITICAL_SECTION cs;
};

// Created on first use (thread-safe static initialisation), never destroyed.
CRITICAL_SECTION& Section()
{
    static SectionHolder* section = new SectionHolder;
    return section->cs;
}
} // namespace

void ProcessLock::Lock() { EnterCriticalSection(&Section()); }
void ProcessLock::Unlock() { LeaveCriticalSection(&Section()); }

} // namespace iplug
