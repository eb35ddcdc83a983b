# Duktape, built from the single-file source that Debian's duktape-dev
# installs, with the execution-timeout hook that Debian's configuration
# leaves out. The configured copy lives in the build tree only.
set(DUKTAPE_SOURCE_DIR /usr/share/duktape CACHE PATH
    "Duktape's single-file source (Debian's duktape-dev by default)")
set(DUKTAPE_LICENCE_FILE /usr/share/doc/duktape-dev/copyright CACHE FILEPATH
    "Duktape's licence, shipped beside the Windows programs")
set(DUKTAPE_DIR ${CMAKE_BINARY_DIR}/duktape)
if(NOT EXISTS ${DUKTAPE_SOURCE_DIR}/duktape.c)
  message(FATAL_ERROR "duktape.c not found in ${DUKTAPE_SOURCE_DIR}: install duktape-dev")
endif()

file(READ ${DUKTAPE_SOURCE_DIR}/duk_config.h duk_config)
set(timeout_hook [=[
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) quorvel_duk_exec_timeout((udata))
#if defined(__cplusplus)
extern "C"
#endif
int quorvel_duk_exec_timeout(void *udata);]=])
foreach(pair "DUK_USE_EXEC_TIMEOUT_CHECK|${timeout_hook}"
             "DUK_USE_INTERRUPT_COUNTER|#define DUK_USE_INTERRUPT_COUNTER")
  string(FIND "${pair}" "|" bar)
  string(SUBSTRING "${pair}" 0 ${bar} option)
  math(EXPR rest "${bar} + 1")
  string(SUBSTRING "${pair}" ${rest} -1 replacement)
  string(FIND "${duk_config}" "#undef ${option}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "duk_config.h: no '#undef ${option}' to replace")
  endif()
  string(REPLACE "#undef ${option}\n" "${replacement}\n" duk_config "${duk_config}")
endforeach()
file(WRITE ${DUKTAPE_DIR}/duk_config.h.new "${duk_config}")
configure_file(${DUKTAPE_DIR}/duk_config.h.new ${DUKTAPE_DIR}/duk_config.h COPYONLY)
# duktape.c includes "duktape.h" from its own folder, so all three files
# are copied together.
configure_file(${DUKTAPE_SOURCE_DIR}/duktape.h ${DUKTAPE_DIR}/duktape.h COPYONLY)
configure_file(${DUKTAPE_SOURCE_DIR}/duktape.c ${DUKTAPE_DIR}/duktape.c COPYONLY)

add_library(duktape STATIC ${DUKTAPE_DIR}/duktape.c)
target_include_directories(duktape SYSTEM PUBLIC ${DUKTAPE_DIR})
set_target_properties(duktape PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
# Third-party code: no sanitizer traps inside the engine itself.
if(QUORVEL_SANITIZE)
  target_compile_options(duktape PRIVATE -fno-sanitize=all)
endif()
if(QUORVEL_FUZZ)
  target_compile_options(duktape PRIVATE -fno-sanitize=fuzzer-no-link)
endif()
if(NOT WIN32)
  target_link_libraries(duktape PRIVATE m)
endif()
