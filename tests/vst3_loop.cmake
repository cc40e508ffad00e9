# The closed-loop bench's simulator tests, with the gain fixture module (tests/fixtures/vst3-gain,
# built by vst3_harness.cmake) as the plug-in of known gain. Linux only, like the bench.
if(TARGET test_ringstill_loop)
  if(TARGET ringstill_loop_core AND TARGET ringstill_test_gain)
    target_link_libraries(test_ringstill_loop PRIVATE ringstill_loop_core)
    add_dependencies(test_ringstill_loop ringstill_test_gain)
    target_compile_definitions(test_ringstill_loop PRIVATE
      RINGSTILL_GAIN_MODULE="$<TARGET_FILE:ringstill_test_gain>")
  else()
    set_target_properties(test_ringstill_loop PROPERTIES EXCLUDE_FROM_ALL ON)
    if(WIN32)
      set_tests_properties(test_ringstill_loop PROPERTIES DISABLED ON)
    endif()
  endif()
endif()
