# The renderer tests draw with the real cairo renderer and the real embedded font and logo.
if(TARGET ringstill_graphics AND TARGET test_cairo_renderer)
  target_link_libraries(test_cairo_renderer PRIVATE ringstill_graphics)
  set(RINGSTILL_GRAPHICS_TEST_OUTPUT ${PROJECT_BINARY_DIR}/test-output/graphics)
  file(MAKE_DIRECTORY ${RINGSTILL_GRAPHICS_TEST_OUTPUT})
  target_compile_definitions(test_cairo_renderer PRIVATE
    RINGSTILL_TEST_OUTPUT_DIR="${RINGSTILL_GRAPHICS_TEST_OUTPUT}"
    RINGSTILL_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
endif()
# The embedded resources both renderers draw with, on both platforms.
if(TARGET test_embedded_resources)
  target_link_libraries(test_embedded_resources PRIVATE ringstill_resources)
  target_compile_definitions(test_embedded_resources PRIVATE RINGSTILL_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
endif()
