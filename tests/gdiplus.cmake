# The GDI+ renderer tests (Windows, run under wine) draw with the real renderer and the font and
# logo as real module resources of the test executable.
if(TARGET ringstill_graphics AND TARGET test_gdiplus_renderer)
  target_link_libraries(test_gdiplus_renderer PRIVATE ringstill_graphics)
  set(RINGSTILL_GRAPHICS_TEST_OUTPUT ${PROJECT_BINARY_DIR}/test-output/graphics)
  file(MAKE_DIRECTORY ${RINGSTILL_GRAPHICS_TEST_OUTPUT})
  target_compile_definitions(test_gdiplus_renderer PRIVATE
    RINGSTILL_TEST_OUTPUT_DIR="${RINGSTILL_GRAPHICS_TEST_OUTPUT}"
    RINGSTILL_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
endif()
