# Checks the shipped DLL: under 1 MB, no debug sections of its own, a debug link to
# tervex.dll.debug, and that file resolves addresses in the DLL to demangled functions
# and project-relative source lines.
file(SIZE ${DLL} size)
if(NOT size LESS 1048576)
  message(FATAL_ERROR "${DLL} is ${size} bytes, not under 1 MB")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${DLL} OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
if(sections MATCHES "\\.debug_")
  message(FATAL_ERROR "${DLL} still holds debug sections")
endif()
if(NOT sections MATCHES "\\.gnu_debuglink")
  message(FATAL_ERROR "${DLL} has no debug link")
endif()

set(debug ${DLL}.debug)
execute_process(COMMAND ${NM} -C ${debug} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${debug}")
endif()
# A few bytes into a function, as a return address in a crash report would be.
# addr2line's own -C leaves these names mangled (it drops the underscore that
# starts them, taking it for the target's symbol prefix), so the names go through
# c++filt with underscores kept; the file is named relative to the project. One
# function of the Windows layer and one of the core, which are built apart.
function(check_resolves function file)
  string(REGEX MATCH "([0-9a-fA-F]+) [Tt] [a-z:]*${function}\\(" found "${symbols}")
  if(NOT found)
    message(FATAL_ERROR "no ${function} in ${debug}")
  endif()
  math(EXPR address "0x${CMAKE_MATCH_1} + 4" OUTPUT_FORMAT HEXADECIMAL)
  execute_process(COMMAND ${ADDR2LINE} -f -e ${debug} ${address} COMMAND ${CXXFILT} -n
    OUTPUT_VARIABLE where RESULT_VARIABLE rc)
  string(REPLACE "." "\\." file_pattern "${file}")
  if(NOT rc EQUAL 0 OR NOT where MATCHES "tervex::${function}\\(" OR NOT where MATCHES "(^|\n)${file_pattern}:[0-9]+")
    message(FATAL_ERROR "addr2line | c++filt -n gave '${where}' for ${address}, expected tervex::${function}( at ${file}:N")
  endif()
  string(FIND "${where}" "${SOURCE_DIR}" absolute)
  if(NOT absolute EQUAL -1)
    message(FATAL_ERROR "the debug file names the build machine's folder: ${where}")
  endif()
  string(STRIP "${where}" where)
  string(REPLACE "\n" " at " where "${where}")
  set(resolved "${resolved}; ${address} is ${where}" PARENT_SCOPE)
endfunction()

set(resolved "")
check_resolves("TComPortDriver::QueueTask" "plugin/Driver.cpp")
check_resolves("PollEngine::QueueTask" "protocol/PollEngine.cpp")
message(STATUS "${DLL}: ${size} bytes${resolved}")
