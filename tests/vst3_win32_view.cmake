# The Windows module's editor view in a host window (under wine).
if(TARGET test_vst3_win32_view)
  if(WIN32 AND RINGSTILL_PLUGIN_TARGET AND TARGET ringstill_vst3_bundle)
    target_link_libraries(test_vst3_win32_view PRIVATE ringstill_vst3host user32 gdi32)
    add_dependencies(test_vst3_win32_view ringstill_vst3_bundle)
    target_compile_definitions(test_vst3_win32_view PRIVATE RINGSTILL_PLUGIN_BUNDLE="${RINGSTILL_PLUGIN_BUNDLE_DIR}")
  endif()
endif()
