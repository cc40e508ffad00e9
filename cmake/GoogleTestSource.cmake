# GoogleTest for targets Debian ships no library for (the Windows cross build): compiled in the
# build tree from the source that libgtest-dev installs. Gives the same GTest:: targets as
# find_package(GTest) does for the native build.
include_guard(GLOBAL)

set(RINGSTILL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest source (Debian packages libgtest-dev and googletest)")
if(NOT EXISTS ${RINGSTILL_GOOGLETEST_SOURCE_DIR}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest source not found in ${RINGSTILL_GOOGLETEST_SOURCE_DIR}: run scripts/install-deps.sh")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${RINGSTILL_GOOGLETEST_SOURCE_DIR}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest names its targets GTest:: itself since 1.11; older sources only have the plain names.
foreach(lib gtest gtest_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
