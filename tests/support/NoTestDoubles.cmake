# Fails when the program PROGRAM carries a symbol of a test double (the scripted device, core or
# dialogs, or the arming of fault points), as nm NM lists them.
execute_process(COMMAND ${NM} -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} -C ${PROGRAM} failed: ${result}")
endif()
string(REGEX MATCHALL "[^\n]*([Ss]cripted|SCRIPTED|FailNextCall|ClearFaults)[^\n]*" doubles
       "${symbols}")
list(LENGTH doubles count)
if(count GREATER 0)
  list(SUBLIST doubles 0 5 shown)
  list(JOIN shown "\n  " shown)
  message(FATAL_ERROR "${PROGRAM} holds ${count} symbols of test doubles, among them:\n  ${shown}")
endif()
