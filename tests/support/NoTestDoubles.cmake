# Fails when the program PROGRAM holds a symbol that one of the test-support LIBRARIES defines, as
# nm NM lists them. A library's own symbols are its global definitions that are not weak: weak ones
# are inline functions and template instances that any object using them carries, and local ones
# may share a name with another unit's. Names are compared mangled: each is one word, where a
# demangled name has blanks and brackets that a CMake list does not keep whole.
function(symbol_names output)
  execute_process(COMMAND ${NM} ${ARGN} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} ${ARGN} failed: ${result}")
  endif()
  set(${output} "${listing}" PARENT_SCOPE)
endfunction()

set(defined 0)
foreach(library IN LISTS LIBRARIES)
  symbol_names(listing --defined-only --extern-only ${library})
  string(REGEX MATCHALL "[0-9a-f]+ [BDGRST] [^\n]+" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-f]+ [BDGRST] " "" name "${line}")
    set("library:${name}" 1)
    math(EXPR defined "${defined} + 1")
  endforeach()
endforeach()
if(defined EQUAL 0)
  message(FATAL_ERROR "the test-support libraries ${LIBRARIES} define no symbol")
endif()

symbol_names(listing ${PROGRAM})
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
# A stripped program lists nothing, and nothing could then be found in it.
if(NOT lines)
  message(FATAL_ERROR "${NM} lists no symbol of ${PROGRAM}: it cannot be checked")
endif()
set(held "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  if(DEFINED "library:${name}")
    list(APPEND held "${name}")
  endif()
endforeach()

list(LENGTH held count)
if(count GREATER 0)
  list(SUBLIST held 0 5 shown)
  list(JOIN shown "\n  " shown)
  message(FATAL_ERROR "${PROGRAM} holds ${count} symbols defined by the test-support libraries, "
                      "among them:\n  ${shown}")
endif()
