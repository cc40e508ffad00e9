# The VST 3 harness tests: a small effect module built on our binding (tests/fixtures/vst3-gain),
# driven from outside its binary through the host library.
if(TARGET test_vst3_harness)
  if(TARGET ringstill_vst3host AND COMMAND ringstill_add_vst3_module)
    set(bundle_dir ${CMAKE_CURRENT_BINARY_DIR}/vst3)
    ringstill_add_vst3_module(ringstill_test_gain NAME RingstillTestGain DIRECTORY ${bundle_dir}
      SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/vst3-gain/GainEffect.cpp)
    target_sources(test_vst3_harness PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ModuleHeap.cpp)
    target_link_libraries(test_vst3_harness PRIVATE ringstill_vst3host ringstill_vst3base)
    add_dependencies(test_vst3_harness ringstill_test_gain)
    target_compile_definitions(test_vst3_harness PRIVATE
      RINGSTILL_TEST_BUNDLE="${bundle_dir}/RingstillTestGain.vst3"
      RINGSTILL_TEST_BINARY="$<TARGET_FILE:ringstill_test_gain>")
    if(WIN32)
      find_program(RINGSTILL_OBJDUMP NAMES ${CMAKE_OBJDUMP} x86_64-w64-mingw32-objdump REQUIRED)
      add_test(NAME Vst3Module.ExportsOnlyItsEntryPoints
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${RINGSTILL_OBJDUMP} -DBINARY=$<TARGET_FILE:ringstill_test_gain>
                "-DEXPECTED=GetPluginFactory;InitDll;ExitDll"
                -P ${CMAKE_CURRENT_SOURCE_DIR}/support/CheckDllExports.cmake)
    else()
      add_test(NAME Vst3Module.ExportsOnlyItsEntryPoints
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DBINARY=$<TARGET_FILE:ringstill_test_gain>
                "-DEXPECTED=GetPluginFactory;ModuleEntry;ModuleExit"
                -P ${CMAKE_CURRENT_SOURCE_DIR}/support/CheckExports.cmake)
    endif()
  else()
    # Without the binding there is nothing to drive.
    set_target_properties(test_vst3_harness PROPERTIES EXCLUDE_FROM_ALL ON)
  endif()
endif()
