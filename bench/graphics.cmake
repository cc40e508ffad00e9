# Drawing cost of the cairo renderer.
if(TARGET ringstill_graphics AND TARGET bench_renderer)
  target_link_libraries(bench_renderer PRIVATE ringstill_graphics)
endif()
