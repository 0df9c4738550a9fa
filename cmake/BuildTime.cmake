# Most of the build time goes into parsing the same system and GoogleTest headers in
# every file, and into debug information for test code.
set(TERVEX_PCH_STD <string> <vector> <memory> <map> <functional> <algorithm> <cstdint> <cstring>)
set(TERVEX_PCH_WINDOWS <windows.h> <ole2.h> <oleauto.h> <commctrl.h>)

# tervex_precompile([WINDOWS] [GTEST] TARGETS t...): each target parses the headers once.
# Targets that do not exist are skipped.
function(tervex_precompile)
  cmake_parse_arguments(ARG "WINDOWS;GTEST" "" "TARGETS" ${ARGN})
  set(headers ${TERVEX_PCH_STD})
  if(ARG_WINDOWS)
    list(PREPEND headers ${TERVEX_PCH_WINDOWS})
  endif()
  if(ARG_GTEST)
    list(APPEND headers <gtest/gtest.h>)
    set(light ON)
  endif()
  foreach(t ${ARG_TARGETS})
    if(TARGET ${t})
      target_precompile_headers(${t} PRIVATE ${headers})
      # Test code: line tables are enough for a failure's stack, and they build in half the time.
      if(light)
        target_compile_options(${t} PRIVATE -O1 -g1)
      endif()
    endif()
  endforeach()
endfunction()
