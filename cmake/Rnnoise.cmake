# The RNNoise denoiser: its WebAssembly build (npm package @jitsi/rnnoise-wasm) is
# translated to C with wasm2c at build time and compiled with the wabt runtime.
# The generated C lives in the build tree only.
#
# The runtime is built for a plug-in inside a host process: explicit bounds
# checks instead of guard pages and signal handlers, and trap state (the jump
# target and the call-depth counter) per thread, so two instances on two audio
# threads never share it. Nothing here may abort the host.

set(RINGSTILL_RNNOISE_WASM ${PROJECT_SOURCE_DIR}/node_modules/@jitsi/rnnoise-wasm/dist/rnnoise.wasm)
if(NOT EXISTS ${RINGSTILL_RNNOISE_WASM})
  message(FATAL_ERROR "RNNoise not found at ${RINGSTILL_RNNOISE_WASM}: run scripts/install-deps.sh")
endif()

find_program(RINGSTILL_WASM2C wasm2c)
if(NOT RINGSTILL_WASM2C)
  message(FATAL_ERROR "wasm2c (Debian package wabt) not found: run scripts/install-deps.sh")
endif()

set(RINGSTILL_WASM2C_RUNTIME_DIR /usr/src/wasm2c CACHE PATH "Folder with wasm-rt-impl.c and wasm-rt.h")
if(NOT EXISTS ${RINGSTILL_WASM2C_RUNTIME_DIR}/wasm-rt-impl.c OR NOT EXISTS ${RINGSTILL_WASM2C_RUNTIME_DIR}/wasm-rt.h)
  message(FATAL_ERROR "wasm2c runtime not found in ${RINGSTILL_WASM2C_RUNTIME_DIR}: run scripts/install-deps.sh")
endif()

set(RINGSTILL_RNNOISE_GEN_DIR ${CMAKE_CURRENT_BINARY_DIR}/rnnoise)
set(RINGSTILL_RNNOISE_GEN_C ${RINGSTILL_RNNOISE_GEN_DIR}/rnnoise_wasm.c)
set(RINGSTILL_RNNOISE_GEN_H ${RINGSTILL_RNNOISE_GEN_DIR}/rnnoise_wasm.h)
add_custom_command(
  OUTPUT ${RINGSTILL_RNNOISE_GEN_C} ${RINGSTILL_RNNOISE_GEN_H}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RINGSTILL_RNNOISE_GEN_DIR}
  COMMAND ${RINGSTILL_WASM2C} ${RINGSTILL_RNNOISE_WASM} -n rnnoise -o ${RINGSTILL_RNNOISE_GEN_C}
  DEPENDS ${RINGSTILL_RNNOISE_WASM}
  COMMENT "Translating rnnoise.wasm to C"
  VERBATIM)

add_library(ringstill_rnnoise STATIC
  ${RINGSTILL_RNNOISE_GEN_C}
  ${RINGSTILL_WASM2C_RUNTIME_DIR}/wasm-rt-impl.c
  ${PROJECT_SOURCE_DIR}/effect/RnnoiseModule.c)
target_include_directories(ringstill_rnnoise SYSTEM PRIVATE ${RINGSTILL_RNNOISE_GEN_DIR} ${RINGSTILL_WASM2C_RUNTIME_DIR})
target_include_directories(ringstill_rnnoise PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(ringstill_rnnoise PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON)

# The generated C includes <alloca.h>, which mingw-w64 does not have; it keeps alloca in <malloc.h>.
include(CheckIncludeFile)
check_include_file(alloca.h RINGSTILL_HAVE_ALLOCA_H)
if(NOT RINGSTILL_HAVE_ALLOCA_H)
  file(WRITE ${RINGSTILL_RNNOISE_GEN_DIR}/shim/alloca.h "#pragma once\n#include <malloc.h>\n")
  target_include_directories(ringstill_rnnoise SYSTEM PRIVATE ${RINGSTILL_RNNOISE_GEN_DIR}/shim)
endif()

target_compile_definitions(ringstill_rnnoise PRIVATE
  # Bounds checks in code, no guard pages, no signal handlers, a call-depth limit instead.
  WASM_RT_MEMCHECK_SIGNAL_HANDLER=0
  WASM_RT_SKIP_SIGNAL_RECOVERY=1
  WASM_RT_USE_STACK_DEPTH_COUNT=1
  # The runtime keeps its trap state in globals; these send it to per-thread storage.
  "wasm_rt_jmp_buf=(*ringstill_wasm_jmp_buf())"
  "wasm_rt_call_stack_depth=(*ringstill_wasm_call_depth())"
  "wasm_rt_saved_call_stack_depth=(*ringstill_wasm_saved_call_depth())")

# The module's own allocations go through checks that turn a failed allocation into a trap.
set_source_files_properties(${RINGSTILL_RNNOISE_GEN_C} PROPERTIES
  COMPILE_DEFINITIONS "wasm_rt_allocate_memory=ringstill_wasm_allocate_memory;wasm_rt_allocate_funcref_table=ringstill_wasm_allocate_funcref_table"
  COMPILE_OPTIONS "-w")
set_source_files_properties(${RINGSTILL_WASM2C_RUNTIME_DIR}/wasm-rt-impl.c PROPERTIES COMPILE_OPTIONS "-w")
set_source_files_properties(${PROJECT_SOURCE_DIR}/effect/RnnoiseModule.c PROPERTIES
  OBJECT_DEPENDS ${RINGSTILL_RNNOISE_GEN_H})
# Our own glue gets the usual warnings; the generated and runtime files are silenced above.
target_compile_options(ringstill_rnnoise PRIVATE -Wall -Wextra)
if(RINGSTILL_WERROR)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/effect/RnnoiseModule.c PROPERTIES COMPILE_OPTIONS "-Werror")
endif()
