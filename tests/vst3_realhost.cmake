# The plug-in in a real host: Ardour, when it is installed (not part of the CI machine's set-up).
# Not in sanitizer builds: a host cannot load a module built with a sanitizer runtime.
if(RINGSTILL_PLUGIN_BUNDLE_DIR AND TARGET ringstill_vst3_bundle AND NOT CMAKE_CROSSCOMPILING AND NOT RINGSTILL_SANITIZE)
  add_test(NAME RealHost.ArdourLoadsProcessesAndCompensatesTheLatency
    COMMAND ${CMAKE_COMMAND} -DBUNDLE=${RINGSTILL_PLUGIN_BUNDLE_DIR}
            -DSCRIPT=${CMAKE_CURRENT_SOURCE_DIR}/hosts/ArdourSession.lua
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/ardour-work
            -P ${CMAKE_CURRENT_SOURCE_DIR}/support/RunInArdour.cmake)
  set_tests_properties(RealHost.ArdourLoadsProcessesAndCompensatesTheLatency PROPERTIES
    SKIP_REGULAR_EXPRESSION "SKIPPED:" TIMEOUT 180)
endif()
