# Fails when the shared library exports a defined symbol outside namespace
# AliCloudWrapper (run by ctest as "exported_symbols").
execute_process(COMMAND nm -D --defined-only -C ${LIB}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(bad "")
set(good 0)
foreach(line ${lines})
  if(line STREQUAL "")
    continue()
  endif()
  # "<address> <type> <name>"; the version node (ABS) is not a symbol of ours.
  string(REGEX REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "" name "${line}")
  # Ours: a name in the namespace, optionally after a return type (template
  # functions) or a compiler prefix such as "typeinfo for".
  if(name MATCHES "^((typeinfo|typeinfo name|vtable|VTT|guard variable|non-virtual thunk|virtual thunk) (for|to) |[^ <]+ )?AliCloudWrapper::")
    math(EXPR good "${good}+1")
  elseif(NOT line MATCHES " A ")
    list(APPEND bad "${name}")
  endif()
endforeach()
if(bad)
  string(REPLACE ";" "\n  " badtext "${bad}")
  message(FATAL_ERROR "symbols exported outside namespace AliCloudWrapper:\n  ${badtext}")
endif()
if(good EQUAL 0)
  message(FATAL_ERROR "no AliCloudWrapper symbols exported from ${LIB}")
endif()
message(STATUS "${good} exported symbols, all in namespace AliCloudWrapper")
