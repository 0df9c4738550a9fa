# Checks the shipped DLL: under 1 MB, no debug sections of its own, a debug link to
# tervex.dll.debug, and that file resolves an address inside QueueTask to its source.
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
string(REGEX MATCH "([0-9a-fA-F]+) [Tt] [a-z:]*TComPortDriver::QueueTask\\(" found "${symbols}")
if(NOT found)
  message(FATAL_ERROR "no TComPortDriver::QueueTask in ${debug}")
endif()
# A few bytes into the function, as a return address in a crash report would be.
# addr2line's own -C leaves these names mangled (it drops the underscore that
# starts them, taking it for the target's symbol prefix), so the names go through
# c++filt with underscores kept; the file is named relative to the project.
math(EXPR address "0x${CMAKE_MATCH_1} + 4" OUTPUT_FORMAT HEXADECIMAL)
execute_process(COMMAND ${ADDR2LINE} -f -e ${debug} ${address} COMMAND ${CXXFILT} -n
  OUTPUT_VARIABLE where RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT where MATCHES "tervex::TComPortDriver::QueueTask\\(" OR NOT where MATCHES "(^|\n)plugin/Driver\\.cpp:[0-9]+")
  message(FATAL_ERROR "addr2line | c++filt -n gave '${where}' for ${address}, expected tervex::TComPortDriver::QueueTask( at plugin/Driver.cpp:N")
endif()
string(FIND "${where}" "${SOURCE_DIR}" absolute)
if(NOT absolute EQUAL -1)
  message(FATAL_ERROR "the debug file names the build machine's folder: ${where}")
endif()
string(STRIP "${where}" where)
string(REPLACE "\n" " at " where "${where}")
message(STATUS "${DLL}: ${size} bytes; ${address} is ${where}")
