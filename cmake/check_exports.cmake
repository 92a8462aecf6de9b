# Fails unless the shared library exports exactly the public API: every
# defined symbol belongs to a name of ALLOWED (the public classes, records and
# constant namespaces of namespace AliCloudWrapper), and the test seams and
# internals stay hidden. Run by ctest as "exported_symbols".
execute_process(COMMAND nm -D --defined-only -C ${LIB}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
file(STRINGS ${ALLOWED} allowed)
string(REPLACE "\n" ";" lines "${out}")
set(bad "")
set(good 0)
foreach(line ${lines})
  if(line STREQUAL "" OR line MATCHES " A ")
    continue()
  endif()
  string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${line}")
  # The first name after the namespace, after an optional return type or a
  # compiler prefix such as "typeinfo for".
  if(name MATCHES "^((typeinfo|typeinfo name|vtable|VTT|guard variable|non-virtual thunk|virtual thunk) (for|to) |[^ <(]+ )?AliCloudWrapper::([A-Za-z_0-9]+)")
    list(FIND allowed "${CMAKE_MATCH_4}" index)
    if(index GREATER -1)
      math(EXPR good "${good}+1")
      continue()
    endif()
  endif()
  list(APPEND bad "${name}")
endforeach()
if(bad)
  string(REPLACE ";" "\n  " badtext "${bad}")
  message(FATAL_ERROR "symbols exported beyond the public API:\n  ${badtext}")
endif()
if(good EQUAL 0)
  message(FATAL_ERROR "no AliCloudWrapper symbols exported from ${LIB}")
endif()
message(STATUS "${good} exported symbols, all of the public API")
