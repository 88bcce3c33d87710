# Run as a test with cmake -P: the older release's library must neither define
# nor use any of the names only the current release offers, and the current
# release's library must hold them (so the check cannot pass on a symbol list
# it failed to read).
#   -DNM=<nm> -DCURRENT=<library> -DLEGACY=<library> -DNAMES=<name;name;...>
# A name is matched against the demangled symbol list as it stands, so a
# parameter list such as "MFWQZ_RevStore(unsigned int)" names one form.
foreach(var NM CURRENT LEGACY NAMES)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(symbols out library)
  execute_process(COMMAND ${NM} -C ${library} OUTPUT_VARIABLE listing RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${library}: ${err}")
  endif()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

symbols(current_list ${CURRENT})
symbols(legacy_list ${LEGACY})
set(failed "")
foreach(name IN LISTS NAMES)
  string(FIND "${current_list}" "${name}" at_current)
  if(at_current EQUAL -1)
    list(APPEND failed "the current library does not hold ${name}")
  endif()
  string(FIND "${legacy_list}" "${name}" at_legacy)
  if(NOT at_legacy EQUAL -1)
    list(APPEND failed "the older library holds ${name}")
  endif()
endforeach()
if(failed)
  string(REPLACE ";" "\n  " text "${failed}")
  message(FATAL_ERROR "profile symbols:\n  ${text}")
endif()
