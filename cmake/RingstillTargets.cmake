# One function per kind of target. Every target lists its files; every library belongs to a
# part of the plug-in whose arrows (ringstill_arrows) say which other parts it may include from.
include_guard(GLOBAL)

# ringstill_arrows(<part> [<part it may use>...])
# Declares a part and the parts its files may include from (its own files always).
function(ringstill_arrows part)
  set_property(GLOBAL APPEND PROPERTY RINGSTILL_PARTS ${part})
  set_property(GLOBAL PROPERTY RINGSTILL_ARROWS_${part} ${ARGN})
endfunction()

# ringstill_part_files(<part> <files>...): files (relative to the calling folder) of a part.
function(ringstill_part_files part)
  get_property(parts GLOBAL PROPERTY RINGSTILL_PARTS)
  if(NOT part IN_LIST parts)
    message(FATAL_ERROR "'${part}' is not a declared part: add ringstill_arrows(${part} ...) to the top-level CMakeLists.txt")
  endif()
  foreach(file ${ARGN})
    get_filename_component(path ${file} ABSOLUTE)
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "${path} is listed for part '${part}' but does not exist")
    endif()
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
    set_property(GLOBAL APPEND PROPERTY RINGSTILL_FILES_${part} ${relative})
  endforeach()
endfunction()

# ringstill_library(<target> PART <part> SOURCES <files> [LINUX <files>] [WINDOWS <files>]
#                   [LINKS <libraries>])
# A static library of our own code. LINUX and WINDOWS files are compiled on their platform only;
# all of them are checked against the part's arrows.
function(ringstill_library target)
  cmake_parse_arguments(ARG "" "PART" "SOURCES;LINUX;WINDOWS;LINKS" ${ARGN})
  if(WIN32)
    set(platform ${ARG_WINDOWS})
  else()
    set(platform ${ARG_LINUX})
  endif()
  add_library(${target} STATIC ${ARG_SOURCES} ${platform})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  ringstill_warnings(${target})
  ringstill_part_files(${ARG_PART} ${ARG_SOURCES} ${ARG_LINUX} ${ARG_WINDOWS})
endfunction()

# The effect class in a binary of its own. Ringstill derives from a format binding, so each binary
# compiles it once, on the binding it needs, and links no library that holds another build of it.
set(RINGSTILL_EFFECT_SOURCES ${PROJECT_SOURCE_DIR}/effect/Ringstill.cpp CACHE INTERNAL "")

# ringstill_add_effect_variant(<target> BINDING VST3|OFFLINE)
#   VST3:    on iplug::IPlugVST3 (vst3/Vst3Binding.h), the shipped module.
#   OFFLINE: on the plug-in and processor bases alone (framework/OfflineBinding.h), for tests,
#            tools and benchmarks that drive the effect in-process.
function(ringstill_add_effect_variant target)
  cmake_parse_arguments(ARG "" "BINDING" "" ${ARGN})
  if(ARG_BINDING STREQUAL "VST3")
    set(header "vst3/Vst3Binding.h")
    set(links ringstill_vst3plug)
  elseif(ARG_BINDING STREQUAL "OFFLINE")
    set(header "framework/OfflineBinding.h")
    set(links ringstill_plugin)
  else()
    message(FATAL_ERROR "ringstill_add_effect_variant(${target}): BINDING must be VST3 or OFFLINE")
  endif()
  get_target_property(done ${target} RINGSTILL_EFFECT_BINDING)
  if(done)
    message(FATAL_ERROR "${target} already builds the effect on ${done}: one build of Ringstill per binary")
  endif()
  target_sources(${target} PRIVATE ${RINGSTILL_EFFECT_SOURCES})
  target_compile_definitions(${target} PRIVATE "RINGSTILL_FORMAT_BINDING=\"${header}\"")
  target_link_libraries(${target} PRIVATE ringstill_dsp ${links})
  set_target_properties(${target} PROPERTIES RINGSTILL_EFFECT_BINDING ${ARG_BINDING})
  set_property(GLOBAL APPEND PROPERTY RINGSTILL_EFFECT_BINARIES ${target})
endfunction()

# Writes the arrows and every part's files for the include check (tests/support/CheckArrows.cmake).
function(ringstill_write_arrows file)
  get_property(parts GLOBAL PROPERTY RINGSTILL_PARTS)
  set(text "set(PARTS ${parts})\n")
  foreach(part ${parts})
    get_property(arrows GLOBAL PROPERTY RINGSTILL_ARROWS_${part})
    get_property(files GLOBAL PROPERTY RINGSTILL_FILES_${part})
    string(APPEND text "set(ARROWS_${part} ${arrows})\nset(FILES_${part} ${files})\n")
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()

# The static libraries a target links, directly or through other libraries of this build.
function(_ringstill_linked_libraries target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libs ${current} ${property})
      if(NOT libs)
        continue()
      endif()
      foreach(lib ${libs})
        if(TARGET ${lib} AND NOT lib IN_LIST seen)
          get_target_property(type ${lib} TYPE)
          get_target_property(imported ${lib} IMPORTED)
          if(NOT imported AND (type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY"))
            list(APPEND seen ${lib})
            list(APPEND queue ${lib})
          endif()
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# A test per binary that builds the effect: no symbol of Ringstill is defined both by the binary's
# own objects and by a library it links, nor by two libraries (tests/support/CheckSingleLayout.cmake).
# Objects of one target share its compile definitions, so they hold one layout of the class.
function(ringstill_add_layout_checks)
  if(NOT CMAKE_NM)
    message(FATAL_ERROR "nm is needed for the single-layout check")
  endif()
  get_property(binaries GLOBAL PROPERTY RINGSTILL_EFFECT_BINARIES)
  foreach(binary ${binaries})
    _ringstill_linked_libraries(${binary} libs)
    set(groups "${binary}:$<JOIN:$<TARGET_OBJECTS:${binary}>,|>")
    foreach(lib ${libs})
      get_target_property(type ${lib} TYPE)
      if(type STREQUAL "OBJECT_LIBRARY")
        list(APPEND groups "${lib}:$<JOIN:$<TARGET_OBJECTS:${lib}>,|>")
      else()
        list(APPEND groups "${lib}:$<TARGET_FILE:${lib}>")
      endif()
    endforeach()
    set(list_file ${PROJECT_BINARY_DIR}/layout-check/${binary}.txt)
    file(GENERATE OUTPUT ${list_file} CONTENT "$<JOIN:${groups},\n>\n")
    add_test(NAME Build.OneLayoutOfRingstillIn.${binary}
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DINPUTS=${list_file}
              -P ${PROJECT_SOURCE_DIR}/tests/support/CheckSingleLayout.cmake)
  endforeach()
endfunction()
