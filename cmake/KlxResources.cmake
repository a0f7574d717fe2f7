# klx_add_resource(<target> TYPE <type> ID <number> FILE <path> [LANGUAGE neutral|russian])
#
# Links the file into <target> as a resource that platform/resources.h finds
# by type and number. The bytes go in through the assembler's .incbin, so
# large archives never pass through the C++ compiler; a small generated C++
# file registers the entry from static initialisation.
function(klx_add_resource target)
  cmake_parse_arguments(RES "" "TYPE;ID;FILE;LANGUAGE" "" ${ARGN})
  if(NOT RES_TYPE OR "${RES_ID}" STREQUAL "" OR NOT RES_FILE)
    message(FATAL_ERROR "klx_add_resource: TYPE, ID and FILE are required")
  endif()
  if(NOT RES_LANGUAGE OR RES_LANGUAGE STREQUAL "neutral")
    set(language kResourceNeutral)
  elseif(RES_LANGUAGE STREQUAL "russian")
    set(language kResourceRussian)
  else()
    message(FATAL_ERROR "klx_add_resource: unknown LANGUAGE ${RES_LANGUAGE}")
  endif()
  get_filename_component(file "${RES_FILE}" ABSOLUTE)

  get_property(count TARGET ${target} PROPERTY KLX_RESOURCE_COUNT)
  if(NOT count)
    set(count 0)
  endif()
  math(EXPR next "${count} + 1")
  set_property(TARGET ${target} PROPERTY KLX_RESOURCE_COUNT ${next})

  string(MAKE_C_IDENTIFIER "klx_resource_${target}_${count}" symbol)
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/klx_resources")
  set(asm "${dir}/${symbol}.S")
  set(cpp "${dir}/${symbol}.cpp")
  file(CONFIGURE OUTPUT "${asm}" CONTENT
"    .section .rodata.${symbol},\"a\",@progbits
    .balign 16
    .globl ${symbol}_begin
    .globl ${symbol}_end
${symbol}_begin:
    .incbin \"${file}\"
${symbol}_end:
    .byte 0
    .section .note.GNU-stack,\"\",@progbits
" @ONLY)
  file(CONFIGURE OUTPUT "${cpp}" CONTENT
"#include \"platform/resources.h\"

extern \"C\" const uint8_t ${symbol}_begin[];
extern \"C\" const uint8_t ${symbol}_end[];

namespace {
const klx::ResourceEntry kEntry[] = {
    {\"${RES_TYPE}\", ${RES_ID}, klx::${language}, ${symbol}_begin, ${symbol}_end}};
[[maybe_unused]] const bool kRegistered = klx::RegisterResources(kEntry, 1);
}  // namespace
" @ONLY)
  set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${file}")
  target_sources(${target} PRIVATE "${asm}" "${cpp}")
endfunction()
