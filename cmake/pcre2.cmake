# PCRE2 for the Windows build, from the sources imported under
# third_party/pcre2 (see its README). Linux uses the system's library.
set(PCRE2_DIR ${PROJECT_SOURCE_DIR}/third_party/pcre2/src)
set(pcre2_files auto_possess chartables compile config context convert dfa_match
    error extuni find_bracket jit_compile maketables match match_data newline
    ord2utf pattern_info script_run serialize string_utils study substitute
    substring tables ucd valid_utf xclass)
list(TRANSFORM pcre2_files PREPEND ${PCRE2_DIR}/pcre2_)
list(TRANSFORM pcre2_files APPEND .c)
add_library(pcre2_8 STATIC ${pcre2_files})
target_include_directories(pcre2_8 SYSTEM PUBLIC ${PCRE2_DIR})
# Unicode properties for the UTF mode the engine compiles in; no JIT, so
# no code is ever generated into executable memory.
target_compile_definitions(pcre2_8
  PUBLIC PCRE2_STATIC PCRE2_CODE_UNIT_WIDTH=8
  PRIVATE HAVE_CONFIG_H SUPPORT_UNICODE HAVE_MEMMOVE HAVE_STDINT_H HAVE_INTTYPES_H)
set_target_properties(pcre2_8 PROPERTIES C_STANDARD 99)
