# Runs tests/hosts/ArdourSession.lua in Debian's Ardour (headless, dummy audio backend) against a
# copy of the built bundle in a home folder of its own, after Ardour's own VST 3 scanner has
# indexed it. Says "SKIPPED" when Ardour is not installed.
# -DBUNDLE=<Ringstill.vst3> -DSCRIPT=<lua file> -DWORK=<scratch folder>
file(GLOB ardour_libs /usr/lib/ardour*)
find_program(ARDOUR_LUA NAMES ardour8-lua ardour7-lua)
find_program(ARDOUR_SCANNER NAMES ardour-vst3-scanner PATHS ${ardour_libs} NO_DEFAULT_PATH)
if(NOT ARDOUR_LUA OR NOT ARDOUR_SCANNER)
  message("SKIPPED: Ardour is not installed")
  return()
endif()
get_filename_component(ardour_lib_dir ${ARDOUR_SCANNER} DIRECTORY)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/home/.vst3)
file(COPY ${BUNDLE} DESTINATION ${WORK}/home/.vst3)
get_filename_component(name ${BUNDLE} NAME)
set(ENV{HOME} ${WORK}/home)
set(ENV{LD_LIBRARY_PATH} ${ardour_lib_dir})
set(ENV{RINGSTILL_ARDOUR_SESSION} ${WORK}/session)
execute_process(COMMAND ${ARDOUR_SCANNER} -q ${WORK}/home/.vst3/${name} RESULT_VARIABLE scanned)
if(NOT scanned EQUAL 0)
  message(FATAL_ERROR "Ardour's VST 3 scanner failed on the bundle (${scanned})")
endif()
execute_process(COMMAND ${ARDOUR_LUA} ${SCRIPT} RESULT_VARIABLE ran OUTPUT_VARIABLE out ERROR_VARIABLE err
  TIMEOUT 120)
message("${out}")
if(NOT out MATCHES "RINGSTILL-IN-ARDOUR-OK")
  message(FATAL_ERROR "Ardour session failed (${ran}):\n${err}")
endif()
