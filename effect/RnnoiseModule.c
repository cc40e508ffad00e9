/* Glue between the wasm2c translation of RNNoise and the effect: the module's
 * two imports, per-thread trap recovery and checked instance creation.
 *
 * The module exports (names minified by the WebAssembly build):
 *   d = __wasm_call_ctors, f = rnnoise_create(model), g = malloc(size),
 *   h = rnnoise_destroy(state), j = rnnoise_process_frame(state, out, in).
 * Imports: a.a = emscripten_resize_heap(bytes), a.b = emscripten_memcpy_big(dst, src, n).
 *
 * Trap handling: the runtime's wasm_rt_trap() restores the call depth and
 * long-jumps to wasm_rt_jmp_buf. The build maps that buffer and both depth
 * counters onto the thread-local storage below, and every entry into the
 * module arms the buffer first, so a trap always lands in the call that
 * caused it, on its own thread. */
#include "effect/RnnoiseModule.h"

#include "rnnoise_wasm.h"

#include <setjmp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "The frame copies below assume a little-endian host"
#endif

#define PAGE_BYTES 65536u
#define FRAME_BYTES (RINGSTILL_RNNOISE_FRAME * sizeof(float))

static _Thread_local jmp_buf tTrapTarget;
static _Thread_local uint32_t tCallDepth;
static _Thread_local uint32_t tSavedCallDepth;
static _Thread_local int tFailAllocations;

jmp_buf* ringstill_wasm_jmp_buf(void) { return &tTrapTarget; }
uint32_t* ringstill_wasm_call_depth(void) { return &tCallDepth; }
uint32_t* ringstill_wasm_saved_call_depth(void) { return &tSavedCallDepth; }

/* The imports' view of their instance. */
struct Z_a_instance_t
{
    wasm_rt_memory_t* memory;
    int growthAllowed;
    unsigned refusedGrowth;
};

struct RingstillRnnoise
{
    Z_rnnoise_instance_t module;
    struct Z_a_instance_t imports;
    uint32_t state;  /* DenoiseState* in linear memory */
    uint32_t input;  /* frame buffers in linear memory */
    uint32_t output;
    int broken;
};

/* Before each entry into the module: the depth a trap returns to. The entry
 * then arms this thread's target with setjmp(tTrapTarget); a nonzero result
 * means the module trapped and control came back there. */
static void SaveCallDepth(void) { tSavedCallDepth = tCallDepth; }

/* Linear memory and table allocation for instantiation: a failed allocation
 * becomes a trap instead of a write through a null pointer. */
void ringstill_wasm_allocate_memory(wasm_rt_memory_t* memory, uint32_t initialPages, uint32_t maxPages)
{
    memory->data = NULL;
    memory->pages = 0;
    memory->size = 0;
    memory->max_pages = maxPages;
    if (tFailAllocations)
        wasm_rt_trap(WASM_RT_TRAP_EXHAUSTION);
    wasm_rt_allocate_memory(memory, initialPages, maxPages);
    if (memory->data == NULL)
    {
        memory->pages = 0;
        memory->size = 0;
        wasm_rt_trap(WASM_RT_TRAP_EXHAUSTION);
    }
}

void ringstill_wasm_allocate_funcref_table(wasm_rt_funcref_table_t* table, uint32_t elements, uint32_t maxElements)
{
    table->data = NULL;
    table->size = 0;
    table->max_size = maxElements;
    if (tFailAllocations)
        wasm_rt_trap(WASM_RT_TRAP_EXHAUSTION);
    wasm_rt_allocate_funcref_table(table, elements, maxElements);
    if (table->data == NULL && elements > 0)
    {
        table->size = 0;
        wasm_rt_trap(WASM_RT_TRAP_EXHAUSTION);
    }
}

/* emscripten_resize_heap: the module's allocator asks for a linear memory of
 * at least this many bytes. Allowed only while the instance is being created;
 * afterwards the memory never grows (growing would reallocate on the audio
 * thread), so the module's malloc simply fails. Returns 1 on success. */
u32 Z_aZ_a(struct Z_a_instance_t* imports, u32 requestedBytes)
{
    wasm_rt_memory_t* memory = imports->memory;
    if (!imports->growthAllowed)
    {
        ++imports->refusedGrowth;
        return 0;
    }
    const uint64_t wantedPages = ((uint64_t)requestedBytes + PAGE_BYTES - 1) / PAGE_BYTES;
    if (wantedPages <= memory->pages)
        return 1;
    if (wantedPages > memory->max_pages)
        return 0;
    return wasm_rt_grow_memory(memory, (uint32_t)(wantedPages - memory->pages)) != (uint32_t)-1;
}

/* emscripten_memcpy_big: a copy inside linear memory, bounds-checked. */
void Z_aZ_b(struct Z_a_instance_t* imports, u32 dest, u32 src, u32 count)
{
    wasm_rt_memory_t* memory = imports->memory;
    if ((uint64_t)dest + count > memory->size || (uint64_t)src + count > memory->size)
        wasm_rt_trap(WASM_RT_TRAP_OOB);
    memmove(memory->data + dest, memory->data + src, count);
}

void ringstill_rnnoise_global_init(void)
{
    wasm_rt_init();
    Z_rnnoise_init_module();
}

void ringstill_rnnoise_global_free(void)
{
    wasm_rt_free();
}

/* Instantiates the module and creates the state and the frame buffers in it.
 * Returns 0 when the module trapped (including a failed allocation). */
static int Instantiate(RingstillRnnoise* instance)
{
    SaveCallDepth();
    if (setjmp(tTrapTarget) != 0)
        return 0;
    Z_rnnoise_instantiate(&instance->module, &instance->imports);
    Z_rnnoiseZ_d(&instance->module);
    instance->state = Z_rnnoiseZ_f(&instance->module, 0); /* 0: the built-in model */
    instance->input = Z_rnnoiseZ_g(&instance->module, (u32)FRAME_BYTES);
    instance->output = Z_rnnoiseZ_g(&instance->module, (u32)FRAME_BYTES);
    return 1;
}

RingstillRnnoise* ringstill_rnnoise_new(void)
{
    RingstillRnnoise* instance = (RingstillRnnoise*)calloc(1, sizeof(RingstillRnnoise));
    if (instance == NULL)
        return NULL;
    instance->imports.memory = &instance->module.w2c_c;
    instance->imports.growthAllowed = 1;
    if (!Instantiate(instance))
    {
        /* Whatever was allocated before the trap is released; the rest is still zero. */
        Z_rnnoise_free(&instance->module);
        free(instance);
        return NULL;
    }
    instance->imports.growthAllowed = 0;
    if (instance->state == 0 || instance->input == 0 || instance->output == 0)
    {
        ringstill_rnnoise_delete(instance);
        return NULL;
    }
    return instance;
}

int ringstill_rnnoise_frame(RingstillRnnoise* instance, const float* input, float* output)
{
    if (instance == NULL || instance->broken)
        return 0;
    wasm_rt_memory_t* memory = &instance->module.w2c_c;
    if ((uint64_t)instance->input + FRAME_BYTES > memory->size || (uint64_t)instance->output + FRAME_BYTES > memory->size)
    {
        instance->broken = 1;
        return 0;
    }
    memcpy(memory->data + instance->input, input, FRAME_BYTES);

    SaveCallDepth();
    if (setjmp(tTrapTarget) != 0)
    {
        instance->broken = 1;
        return 0;
    }
    (void)Z_rnnoiseZ_j(&instance->module, instance->state, instance->output, instance->input);

    memcpy(output, memory->data + instance->output, FRAME_BYTES);
    return 1;
}

void ringstill_rnnoise_delete(RingstillRnnoise* instance)
{
    if (instance == NULL)
        return;
    /* A broken state may point anywhere; its memory goes with the instance. */
    if (!instance->broken && instance->state != 0)
    {
        SaveCallDepth();
        if (setjmp(tTrapTarget) == 0)
            Z_rnnoiseZ_h(&instance->module, instance->state);
    }
    Z_rnnoise_free(&instance->module);
    free(instance);
}

size_t ringstill_rnnoise_memory_bytes(const RingstillRnnoise* instance)
{
    return instance != NULL ? (size_t)instance->module.w2c_c.size : 0;
}

unsigned ringstill_rnnoise_refused_growth(const RingstillRnnoise* instance)
{
    return instance != NULL ? instance->imports.refusedGrowth : 0;
}

void ringstill_rnnoise_break_for_testing(RingstillRnnoise* instance)
{
    if (instance != NULL)
        instance->state = 0xFFFFFF00u;
}

void ringstill_rnnoise_fail_allocations_for_testing(int fail)
{
    tFailAllocations = fail;
}
