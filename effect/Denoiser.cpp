#include "effect/Denoiser.h"

#include "effect/RnnoiseModule.h"

#include <new>

static_assert(ringstill::kDenoiserFrameSize == RINGSTILL_RNNOISE_FRAME);

namespace ringstill {

struct DenoiserState
{
    RingstillRnnoise* instance;
};

namespace {

// The module's type table is filled once per process; a function-local static
// makes the first creation on any thread do it exactly once.
void InitialiseRuntimeOnce()
{
    // The registry the runtime fills is freed again when the plug-in module is unloaded,
    // so a host that loads and unloads the module repeatedly does not leak.
    struct Runtime
    {
        Runtime() { ringstill_rnnoise_global_init(); }
        ~Runtime() { ringstill_rnnoise_global_free(); }
    };
    static const Runtime runtime;
    (void)runtime;
}

} // namespace

DenoiserState* CreateDenoiser()
{
    InitialiseRuntimeOnce();
    RingstillRnnoise* instance = ringstill_rnnoise_new();
    if (instance == nullptr)
        return nullptr;
    auto* state = new (std::nothrow) DenoiserState{instance};
    if (state == nullptr)
        ringstill_rnnoise_delete(instance);
    return state;
}

bool DenoiseFrame(DenoiserState* state, const float* input, float* output)
{
    if (state == nullptr || input == nullptr || output == nullptr)
        return false;
    return ringstill_rnnoise_frame(state->instance, input, output) != 0;
}

void DestroyDenoiser(DenoiserState* state)
{
    if (state == nullptr)
        return;
    ringstill_rnnoise_delete(state->instance);
    delete state;
}

std::size_t DenoiserMemoryBytes(const DenoiserState* state)
{
    return state != nullptr ? ringstill_rnnoise_memory_bytes(state->instance) : 0;
}

unsigned DenoiserRefusedGrowth(const DenoiserState* state)
{
    return state != nullptr ? ringstill_rnnoise_refused_growth(state->instance) : 0;
}

void BreakDenoiserForTesting(DenoiserState* state)
{
    if (state != nullptr)
        ringstill_rnnoise_break_for_testing(state->instance);
}

DenoiserAllocationFailureForTesting::DenoiserAllocationFailureForTesting()
{
    ringstill_rnnoise_fail_allocations_for_testing(1);
}

DenoiserAllocationFailureForTesting::~DenoiserAllocationFailureForTesting()
{
    ringstill_rnnoise_fail_allocations_for_testing(0);
}

} // namespace ringstill
