# One full editor frame drawn offscreen with the cairo renderer.
if(TARGET bench_editor AND TARGET ringstill_graphics AND TARGET ringstill_editor)
  target_link_libraries(bench_editor PRIVATE ringstill_editor ringstill_graphics)
endif()
