# Wine test executables. Each runs as one CTest entry under Wine (the cross-compiling
# emulator), with the prefix kept in the build folder. Window tests need a display:
# run ctest under xvfb-run. With TERVEX_RUN_WINE_TESTS off the programs are still
# built (they check the real record layouts at compile time) but not registered.
set(TERVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(TERVEX_WINE_ENV "WINEPREFIX=${TERVEX_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

if(TERVEX_RUN_WINE_TESTS)
  add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh cmd /c exit)
  set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${TERVEX_WINE_ENV}" TIMEOUT 300)
endif()

file(GLOB TERVEX_WINE_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/support/*.cpp)
add_library(tervex_wine_support STATIC ${TERVEX_WINE_SUPPORT})
target_include_directories(tervex_wine_support PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/wine)
target_link_libraries(tervex_wine_support PUBLIC tervex_core gtest ole32 oleaut32 uuid user32 gdi32 advapi32 comctl32)
# Page screenshots are written as PNG with stb's single header (Debian's libstb-dev).
# Only that header's own folder goes on the include path, never the build machine's /usr/include.
find_path(TERVEX_STB_DIR stb_image_write.h PATHS /usr/include/stb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(TERVEX_STB_DIR)
  target_include_directories(tervex_wine_support SYSTEM PRIVATE ${TERVEX_STB_DIR})
  target_compile_definitions(tervex_wine_support PRIVATE TERVEX_HAVE_STB)
else()
  message(STATUS "stb_image_write.h not found (libstb-dev): the page screenshots are skipped")
endif()

# tervex_wine_test(<name> <folder under tests/wine> [LINK libs...])
function(tervex_wine_test name folder)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/${folder}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} tervex_wine_support gtest gtest_main)
  target_link_options(${name} PRIVATE -static)
  tervex_warnings(${name})
  if(TERVEX_RUN_WINE_TESTS)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${TERVEX_WINE_ENV}" TIMEOUT 600)
  endif()
endfunction()

# In-process tests of the Windows layer.
tervex_wine_test(tervex_wine_unit unit LINK tervex_win)
# The date conversions once more in a zone with summer time (Wine takes the zone from TZ).
if(TARGET tervex_wine_unit AND TERVEX_RUN_WINE_TESTS)
  add_test(NAME tervex_wine_unit_summer_time COMMAND tervex_wine_unit --gtest_brief=1 --gtest_filter=DateTime*)
  set_tests_properties(tervex_wine_unit_summer_time PROPERTIES FIXTURES_REQUIRED wine
    ENVIRONMENT "${TERVEX_WINE_ENV};TZ=Europe/Berlin" TIMEOUT 300)
endif()
# Conformance tests: the built DLL through its export only, as a host loads it.
tervex_wine_test(tervex_wine_dll dll)
if(TARGET tervex_wine_dll)
  add_dependencies(tervex_wine_dll tervex)
  target_compile_definitions(tervex_wine_dll PRIVATE TERVEX_DLL_PATH="${TERVEX_DIST_DIR}/tervex.dll"
    TERVEX_VERSION="${PROJECT_VERSION}")
  # The version API reads the DLL's version resource; the DLL itself needs no version.dll.
  target_link_libraries(tervex_wine_dll PRIVATE version)
endif()

# Where the kernel cannot execute 32-bit programs, the 64-bit stand-in runs the suite and
# this product tree runs a smoke subset of the DLL's tests under qemu-i386, in the stand-in's
# prefix (a prefix made by the emulated loader takes minutes). An emulated start costs about
# a minute, so the subset runs in one process. It covers what exists only in the i386 build:
# the export, calling conventions, the records' offsets, structured exceptions.
# Left out are cases the emulator cannot hold: access violations (it does not turn them into
# structured exceptions) and several structured exceptions in one process (a second one can
# break Wine's unwinding there).
option(TERVEX_WINE_SMOKE "Register a smoke subset of the DLL's tests, run under qemu-i386" OFF)
if(TERVEX_WINE_SMOKE AND TARGET tervex_wine_dll)
  set(TERVEX_STAND_IN_DIR ${CMAKE_BINARY_DIR}/../win64 CACHE PATH "The 64-bit stand-in's tree, whose Wine prefix the smoke run shares")
  set(smoke_env "WINEPREFIX=${TERVEX_STAND_IN_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
  set(smoke_tests
    Export.LoadsAndHandsOutTheSameDriverEveryTime
    QueryInterface.AnswersTheDriverInterfaces
    EngineThroughDll.RtuRead
    EngineThroughDll.AsciiReadArrivingInTwoPieces
    EngineThroughDll.WordWrite
    HostRecords.TheDllReadsTasksAndListsAndWritesItemStatesAtTheHostsOffsets
    PagesThroughDll.NodePageAddsANodeWithTheFirstPortListed
    ItemCalls/HostCallbackFaults.AreSwallowed/ReadComplete)
  list(LENGTH smoke_tests smoke_count)
  list(JOIN smoke_tests ":" smoke_filter)
  # A crash must end the run, not wait for a debugger: none for 32-bit programs in this prefix.
  add_test(NAME wine_smoke_prefix COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh reg add
    "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug" /v Debugger /t REG_SZ /d "" /f /reg:32)
  set_tests_properties(wine_smoke_prefix PROPERTIES FIXTURES_SETUP wine_smoke ENVIRONMENT "${smoke_env}"
    TIMEOUT 300 LABELS emulated)
  # Passed only when every chosen test reports passing: under emulation the first failure
  # can take the process down (GoogleTest's thread-exit watcher fails there) with any exit
  # code, and a renamed test would otherwise drop out of the filter unseen.
  add_test(NAME tervex_wine_dll_smoke COMMAND tervex_wine_dll --gtest_brief=1 --gtest_filter=${smoke_filter})
  set_tests_properties(tervex_wine_dll_smoke PROPERTIES FIXTURES_REQUIRED wine_smoke ENVIRONMENT "${smoke_env}"
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] ${smoke_count} tests\\." FAIL_REGULAR_EXPRESSION "FAILED|Failure"
    TIMEOUT 400 LABELS emulated)
endif()

# The product DLL's export table and imports.
if(TERVEX_TARGET_IS_PRODUCT)
  add_test(NAME dll_exports_and_imports
    COMMAND ${CMAKE_COMMAND} -DDLL=${TERVEX_DIST_DIR}/tervex.dll -DOBJDUMP=i686-w64-mingw32-objdump
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckDll.cmake)
endif()
