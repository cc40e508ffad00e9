# The module's binary after a host lets go of it (Linux: dlopen's view of what is loaded).
if(TARGET test_vst3_unload)
  if(WIN32 OR NOT RINGSTILL_PLUGIN_TARGET OR NOT TARGET ringstill_vst3_bundle)
    set_target_properties(test_vst3_unload PROPERTIES EXCLUDE_FROM_ALL ON)
  else()
    target_link_libraries(test_vst3_unload PRIVATE ringstill_vst3host ${CMAKE_DL_LIBS})
    add_dependencies(test_vst3_unload ringstill_vst3_bundle)
    target_compile_definitions(test_vst3_unload PRIVATE
      RINGSTILL_PLUGIN_BUNDLE="${RINGSTILL_PLUGIN_BUNDLE_DIR}"
      RINGSTILL_PLUGIN_BINARY="$<TARGET_FILE:ringstill_vst3_bundle>")
  endif()
endif()
