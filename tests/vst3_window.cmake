# The editor in a real X11 window: the Ringstill bundle loaded by the host library, embedded into
# a window of the host's, under the X server DISPLAY names or an Xvfb the test starts itself.
# (On Windows the file compiles to no test: the Win32 window has tests of its own.)
if(TARGET test_vst3_window AND NOT WIN32)
  if(TARGET ringstill_vst3host_x11 AND TARGET ringstill_vst3_bundle)
    get_target_property(window_test_bundle ringstill_vst3_bundle RINGSTILL_VST3_BUNDLE)
    target_link_libraries(test_vst3_window PRIVATE ringstill_vst3host_x11)
    add_dependencies(test_vst3_window ringstill_vst3_bundle)
    set(RINGSTILL_WINDOW_TEST_OUTPUT ${PROJECT_BINARY_DIR}/test-output/window)
    file(MAKE_DIRECTORY ${RINGSTILL_WINDOW_TEST_OUTPUT})
    target_compile_definitions(test_vst3_window PRIVATE
      RINGSTILL_PLUGIN_BUNDLE="${window_test_bundle}"
      RINGSTILL_TEST_OUTPUT_DIR="${RINGSTILL_WINDOW_TEST_OUTPUT}")
  else()
    set_target_properties(test_vst3_window PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
