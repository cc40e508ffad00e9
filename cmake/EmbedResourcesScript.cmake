# Script mode: cmake -DINPUTS=a|b -DOUTPUT=file.cpp -P EmbedResourcesScript.cmake
string(REPLACE "|" ";" inputs "${INPUTS}")
set(arrays "")
set(entries "")
set(index 0)
# CMake's regular expressions have no counted repetition: spell out one row of 24 bytes.
string(REPEAT "0x..," 24 row)
foreach(path ${inputs})
  get_filename_component(name ${path} NAME)
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "${row}" "\\0\n" bytes "${bytes}")
  # The trailing zero keeps an empty file a valid array and text resources terminated.
  string(APPEND arrays "alignas(16) const unsigned char kData${index}[] = {\n${bytes}0x00};\n\n")
  string(APPEND entries "  {\"${name}\", kData${index}, ${size}u},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated at build time from the resources folder; do not edit.
#include \"graphics/EmbeddedResourceTable.h\"

namespace igraphics
{
namespace
{
${arrays}} // namespace

const EmbeddedResource kEmbeddedResources[] = {
${entries}  {nullptr, nullptr, 0u}, // keeps the table valid without resources
};
const std::size_t kEmbeddedResourceCount = ${index};

} // namespace igraphics
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
