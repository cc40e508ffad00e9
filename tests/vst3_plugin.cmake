# The plug-in's VST 3 tests: the Ringstill bundle driven from outside its binary through the host
# library. Until the effect class exists, a stand-in of the same shape on the same binding
# (tests/fixtures/vst3-tenparam) takes its place.
if(TARGET test_vst3_plugin)
  if(TARGET ringstill_vst3host AND TARGET ringstill_vst3plug)
    if(TARGET ringstill_vst3_bundle)
      set(plugin_target ringstill_vst3_bundle)
      get_target_property(plugin_bundle ringstill_vst3_bundle RINGSTILL_VST3_BUNDLE)
    else()
      set(plugin_target ringstill_test_tenparam)
      set(plugin_bundle ${CMAKE_CURRENT_BINARY_DIR}/vst3/Ringstill.vst3)
      ringstill_add_vst3_module(ringstill_test_tenparam NAME Ringstill DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/vst3
        SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/vst3-tenparam/TenParamPlugin.cpp
        LIBRARIES ringstill_vst3plug)
    endif()
    target_sources(test_vst3_plugin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ModuleHeap.cpp)
    target_link_libraries(test_vst3_plugin PRIVATE ringstill_vst3host ringstill_vst3plug)
    add_dependencies(test_vst3_plugin ${plugin_target})
    target_compile_definitions(test_vst3_plugin PRIVATE
      RINGSTILL_PLUGIN_BUNDLE="${plugin_bundle}"
      RINGSTILL_PLUGIN_BINARY="$<TARGET_FILE:${plugin_target}>")
    if(WIN32)
      find_program(RINGSTILL_OBJDUMP NAMES ${CMAKE_OBJDUMP} x86_64-w64-mingw32-objdump REQUIRED)
      add_test(NAME Vst3Plugin.ExportsOnlyItsEntryPoints
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${RINGSTILL_OBJDUMP} -DBINARY=$<TARGET_FILE:${plugin_target}>
                "-DEXPECTED=GetPluginFactory;InitDll;ExitDll"
                -P ${CMAKE_CURRENT_SOURCE_DIR}/support/CheckDllExports.cmake)
    else()
      add_test(NAME Vst3Plugin.ExportsOnlyItsEntryPoints
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DBINARY=$<TARGET_FILE:${plugin_target}>
                "-DEXPECTED=GetPluginFactory;ModuleEntry;ModuleExit"
                -P ${CMAKE_CURRENT_SOURCE_DIR}/support/CheckExports.cmake)
    endif()
    set(RINGSTILL_PLUGIN_BUNDLE_DIR ${plugin_bundle})
    set(RINGSTILL_PLUGIN_TARGET ${plugin_target})
  else()
    set_target_properties(test_vst3_plugin PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
