# The toolkit tests: behaviour through the real context and controls; the pixel tests draw with
# the real cairo renderer and the embedded font.
file(GLOB RINGSTILL_TOOLKIT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_*.cpp)
foreach(src ${RINGSTILL_TOOLKIT_TESTS})
  get_filename_component(name ${src} NAME_WE)
  if(TARGET ${name} AND TARGET ringstill_graphics)
    target_link_libraries(${name} PRIVATE ringstill_graphics)
    set(RINGSTILL_TOOLKIT_TEST_OUTPUT ${PROJECT_BINARY_DIR}/test-output/toolkit)
    file(MAKE_DIRECTORY ${RINGSTILL_TOOLKIT_TEST_OUTPUT})
    target_compile_definitions(${name} PRIVATE RINGSTILL_TEST_OUTPUT_DIR="${RINGSTILL_TOOLKIT_TEST_OUTPUT}"
      RINGSTILL_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
  endif()
endforeach()
