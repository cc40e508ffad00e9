# The Windows editor window (under wine in CI): the real effect's editor in a real child window,
# drawn by the GDI+ backend with the font and logo as module resources of the test executable.
if(WIN32 AND TARGET test_win32_window AND TARGET ringstill_graphics AND TARGET ringstill_editor)
  target_link_libraries(test_win32_window PRIVATE ringstill_editor ringstill_graphics)
  set(RINGSTILL_WIN32_WINDOW_TEST_OUTPUT ${PROJECT_BINARY_DIR}/test-output/win32)
  file(MAKE_DIRECTORY ${RINGSTILL_WIN32_WINDOW_TEST_OUTPUT})
  target_compile_definitions(test_win32_window PRIVATE RINGSTILL_TEST_OUTPUT_DIR="${RINGSTILL_WIN32_WINDOW_TEST_OUTPUT}")
endif()
if(WIN32 AND TEST test_win32_window)
  # It moves the display's pointer and focus: nothing else may use the display meanwhile.
  set_tests_properties(test_win32_window PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
endif()
