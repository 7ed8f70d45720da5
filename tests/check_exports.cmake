# Fails when the shared library exports a name that the public header does not
# declare. Template instances of the standard library are not ours and are skipped.
execute_process(COMMAND nm -D -C --defined-only ${LIB}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
file(READ ${HEADER} header)
string(REPLACE "\n" ";" lines "${symbols}")
set(unexpected "")
foreach(line ${lines})
  if(NOT line MATCHES "^[0-9a-f]+ ([A-Za-z]) (.+)$")
    continue()
  endif()
  set(name "${CMAKE_MATCH_2}")
  if(name MATCHES "^(std::|__gnu_cxx::|void std::|typeinfo|vtable for std|operator)"
     OR name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$"
     OR name MATCHES "^__(odr_asan|asan|tsan|ubsan|sanitizer)"
     OR name MATCHES " std::" OR name MATCHES "^std")
    continue()
  endif()
  string(REGEX REPLACE "\\(.*$" "" base "${name}")
  string(REGEX REPLACE "\\[abi:[a-z0-9]+\\]" "" base "${base}")
  string(REGEX REPLACE "^.* " "" base "${base}")
  string(REGEX MATCH "[^ ]*${base}[ (;]" found "${header}")
  if(NOT found OR NOT header MATCHES "[ *]${base}[ (;]")
    list(APPEND unexpected "${name}")
  endif()
endforeach()
if(unexpected)
  string(REPLACE ";" "\n  " text "${unexpected}")
  message(FATAL_ERROR "exported but not declared in orvo.h:\n  ${text}")
endif()
message(STATUS "exports match the public header")
