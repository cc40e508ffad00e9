// The last line between our code and a host: every VST 3 interface method and exported entry point
// runs its body through Guarded, so no exception ever leaves the module, whatever a host, the C++
// library or our own code throws. A failing body returns the given failure value instead; the
// callers keep the plug-in usable after it (see IPlugVST3's setup calls). Any thread; costs nothing
// while nothing throws.
#pragma once

#include <type_traits>

namespace ringstill::vst3 {

// What a body returns; the failure value is converted to it.
template <typename Body>
using GuardResult = std::invoke_result_t<Body&>;

template <typename Body>
GuardResult<Body> Guarded(std::type_identity_t<GuardResult<Body>> failure, Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (...)
    {
        return failure;
    }
}

// As above; after a failure, onFailure puts things back into a usable state (itself guarded).
template <typename Body, typename Cleanup>
GuardResult<Body> Guarded(std::type_identity_t<GuardResult<Body>> failure, Body&& body, Cleanup&& onFailure) noexcept
{
    try
    {
        return body();
    }
    catch (...)
    {
    }
    try
    {
        onFailure();
    }
    catch (...)
    {
    }
    return failure;
}

// For bodies without a result.
template <typename Body>
void GuardedCall(Body&& body) noexcept
{
    try
    {
        body();
    }
    catch (...)
    {
    }
}

} // namespace ringstill::vst3
