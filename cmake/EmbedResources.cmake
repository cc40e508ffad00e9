# Compiles resource files into a target as byte arrays, generated into the build tree at build time.
# ringstill_embed_resources(TARGET file...) adds a generated EmbeddedResourceData.cpp that defines
# the table graphics/EmbeddedResources.h declares; each entry is named by its file name.
set(RINGSTILL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResourcesScript.cmake)

function(ringstill_embed_resources target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/EmbeddedResourceData.cpp)
  string(REPLACE ";" "|" inputs "${ARGN}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} "-DINPUTS=${inputs}" -DOUTPUT=${out} -P ${RINGSTILL_EMBED_SCRIPT}
    DEPENDS ${ARGN} ${RINGSTILL_EMBED_SCRIPT}
    COMMENT "Embedding resources: ${ARGN}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
