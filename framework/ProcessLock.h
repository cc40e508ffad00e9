// ProcessLock: one lock shared by the whole module, created on first use. The
// factory's create function holds it while it constructs a plug-in, so hosts that
// create instances from several threads get them one at a time. Not for the audio
// thread.
#pragma once

namespace iplug {

class ProcessLock
{
public:
    static void Lock();
    static void Unlock();
};

class ProcessLockGuard
{
public:
    ProcessLockGuard() { ProcessLock::Lock(); }
    ~ProcessLockGuard() { ProcessLock::Unlock(); }
    ProcessLockGuard(const ProcessLockGuard&) = delete;
    ProcessLockGuard& operator=(const ProcessLockGuard&) = delete;
};

} // namespace iplug
