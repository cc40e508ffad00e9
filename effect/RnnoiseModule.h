/* The RNNoise module as translated from WebAssembly: one instance with its own
 * linear memory per denoiser state. Plain C so that every jump out of a trapped
 * call stays inside C frames. Used only by effect/Denoiser.cpp. */
#ifndef RINGSTILL_RNNOISE_MODULE_H
#define RINGSTILL_RNNOISE_MODULE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RingstillRnnoise RingstillRnnoise;

/* Samples per frame (10 ms at 48 kHz). */
#define RINGSTILL_RNNOISE_FRAME 480

/* Once per process, before any instance; the caller makes it thread-safe. */
void ringstill_rnnoise_global_init(void);
/* Frees the runtime's function-type registry; runs when the module is unloaded. */
void ringstill_rnnoise_global_free(void);

/* Host thread. A fresh module instance with one denoiser state using the
 * built-in model, or NULL when memory ran out or the module trapped. */
RingstillRnnoise* ringstill_rnnoise_new(void);

/* Audio thread: never allocates. Denoises one frame of 480 samples in the
 * 16-bit range. Returns 1 on success, 0 when the module trapped now or before
 * (the instance is unusable from then on). */
int ringstill_rnnoise_frame(RingstillRnnoise* instance, const float* input, float* output);

/* Host thread. Releases the state and the instance; NULL is ignored. */
void ringstill_rnnoise_delete(RingstillRnnoise* instance);

/* Size of the instance's linear memory in bytes. */
size_t ringstill_rnnoise_memory_bytes(const RingstillRnnoise* instance);

/* Heap growth requests the instance refused after it was created. */
unsigned ringstill_rnnoise_refused_growth(const RingstillRnnoise* instance);

/* Test hooks. The first points the state outside linear memory so that the
 * next frame call traps inside the module; the second makes the module's
 * memory allocations on this thread fail while set. */
void ringstill_rnnoise_break_for_testing(RingstillRnnoise* instance);
void ringstill_rnnoise_fail_allocations_for_testing(int fail);

#ifdef __cplusplus
}
#endif

#endif
