# The raw-float render tool against the plug-in bundle of this build, and (Linux build, given a
# Windows cross build through -DRINGSTILL_WINDOWS_BUILD_DIR=...) the Windows module rendering the
# same input under wine, compared sample by sample.
# (Included after vst3_plugin.cmake, which names the plug-in bundle.)
set(RINGSTILL_WINDOWS_BUILD_DIR "" CACHE PATH "A Windows cross build tree whose render output is compared with this build's")
if(TARGET test_vst3_render_platforms)
  if(TARGET vst3-host-render AND RINGSTILL_PLUGIN_TARGET)
    add_dependencies(test_vst3_render_platforms vst3-host-render ${RINGSTILL_PLUGIN_TARGET})
    target_sources(test_vst3_render_platforms PRIVATE ${PROJECT_SOURCE_DIR}/tools/ringstill-render/FeedbackScenario.cpp)
    target_compile_definitions(test_vst3_render_platforms PRIVATE
      RINGSTILL_HOST_RENDER_TOOL="$<TARGET_FILE:vst3-host-render>"
      RINGSTILL_PLUGIN_BUNDLE="${RINGSTILL_PLUGIN_BUNDLE_DIR}"
      RINGSTILL_HOST_RENDER_WORK_DIR="${CMAKE_CURRENT_BINARY_DIR}/host-render-work")
    if(RINGSTILL_WINDOWS_BUILD_DIR AND NOT WIN32)
      find_program(RINGSTILL_WINE_PROGRAM wine REQUIRED)
      target_compile_definitions(test_vst3_render_platforms PRIVATE
        RINGSTILL_WINE="${RINGSTILL_WINE_PROGRAM}"
        RINGSTILL_WINDOWS_RENDER_TOOL="${RINGSTILL_WINDOWS_BUILD_DIR}/tools/vst3-host-render/vst3-host-render.exe"
        RINGSTILL_WINDOWS_BUNDLE="${RINGSTILL_WINDOWS_BUILD_DIR}/vst3/Ringstill.vst3")
    endif()
  else()
    set_target_properties(test_vst3_render_platforms PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
