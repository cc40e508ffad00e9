# The render tool run as a user runs it, against the plug-in bundle the VST 3 tests use.
if(TARGET test_ringstill_render)
  if(TARGET ringstill-render AND RINGSTILL_PLUGIN_TARGET)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
    target_link_libraries(test_ringstill_render PRIVATE PkgConfig::SNDFILE ringstill_graphics)
    add_dependencies(test_ringstill_render ringstill-render ${RINGSTILL_PLUGIN_TARGET})
    target_compile_definitions(test_ringstill_render PRIVATE
      RINGSTILL_RENDER_TOOL="$<TARGET_FILE:ringstill-render>"
      RINGSTILL_PLUGIN_BUNDLE="${RINGSTILL_PLUGIN_BUNDLE_DIR}"
      RINGSTILL_RENDER_WORK_DIR="${CMAKE_CURRENT_BINARY_DIR}/render-work")
  else()
    set_target_properties(test_ringstill_render PROPERTIES EXCLUDE_FROM_ALL ON)
    if(WIN32)
      # The renderer needs libsndfile, which the Windows build has not got; vst3-host-render
      # covers rendering there.
      set_tests_properties(test_ringstill_render PROPERTIES DISABLED ON)
    endif()
  endif()
endif()
