# The reliability tests: the Ringstill bundle at the edge of what a host may do (setups, failing
# allocations, throwing host objects, threads), and the seeded hostile-input run. Both drive the
# bundle the VST 3 plug-in tests use through the host library; the reliability test also builds the
# binding in-process to pump its idle timer by hand.
foreach(name test_vst3_reliability test_vst3_hostile)
  if(NOT TARGET ${name})
    continue()
  endif()
  if(TARGET ringstill_vst3host AND TARGET ringstill_vst3plug AND RINGSTILL_PLUGIN_TARGET)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ModuleHeap.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/support/HostileHost.cpp)
    target_link_libraries(${name} PRIVATE ringstill_vst3host ringstill_vst3plug)
    add_dependencies(${name} ${RINGSTILL_PLUGIN_TARGET})
    target_compile_definitions(${name} PRIVATE RINGSTILL_PLUGIN_BUNDLE="${RINGSTILL_PLUGIN_BUNDLE_DIR}")
  else()
    message(FATAL_ERROR "${name} needs the VST 3 host library, the binding and the plug-in bundle")
  endif()
endforeach()
