# Cross build: the plug-in DLL, its Windows layer, the reference host and the Wine tests.
# The product is the 32-bit build; a 64-bit build only serves the Wine tests and
# keeps its DLL inside its own build folder.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TERVEX_TARGET_IS_PRODUCT ON)
  set(TERVEX_DIST_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "Where the built DLL is left")
else()
  set(TERVEX_TARGET_IS_PRODUCT OFF)
  set(TERVEX_DIST_DIR ${CMAKE_BINARY_DIR}/dist CACHE PATH "Where the built DLL is left")
endif()
option(TERVEX_RUN_WINE_TESTS "Register the Wine test executables with CTest" ON)

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 UNICODE _UNICODE)
# Source paths in the debug information (and __FILE__) relative to the project, so a
# crash address resolves to "plugin/Driver.cpp:75" wherever the DLL was built; files
# generated in the build folder relative to it. The build folder's map comes last
# because the compiler tries the last one first, and that folder may lie inside the project;
# it has no trailing slash so that it also empties the compilation folder, which a
# debugger would otherwise put in front of every relative name ("build/win32/plugin/...").
set(TERVEX_PREFIX_MAPS "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=;-ffile-prefix-map=${CMAKE_BINARY_DIR}=>")
add_compile_options("${TERVEX_PREFIX_MAPS}")
# The core was defined before this file, so the directory's options missed it; most
# crash addresses fall in its code.
target_compile_options(tervex_core PRIVATE "${TERVEX_PREFIX_MAPS}")

file(GLOB TERVEX_WIN_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/plugin/*.cpp
  ${PROJECT_SOURCE_DIR}/pages/*.cpp
  ${PROJECT_SOURCE_DIR}/boundary/*.cpp
  ${PROJECT_SOURCE_DIR}/win/*.cpp
  ${PROJECT_SOURCE_DIR}/values/win/*.cpp
  ${PROJECT_SOURCE_DIR}/config/win/*.cpp)
list(REMOVE_ITEM TERVEX_WIN_SOURCES ${PROJECT_SOURCE_DIR}/plugin/DllMain.cpp)
add_library(tervex_win STATIC ${TERVEX_WIN_SOURCES})
target_link_libraries(tervex_win PUBLIC tervex_core ole32 oleaut32 uuid user32 gdi32 comctl32 advapi32)
tervex_warnings(tervex_win)

# The DLL: one undecorated __stdcall export, C++ runtime linked in.
if(TERVEX_TARGET_IS_PRODUCT)
  set(TERVEX_DEF ${PROJECT_SOURCE_DIR}/plugin/tervex.def)
else()
  set(TERVEX_DEF ${PROJECT_SOURCE_DIR}/plugin/tervex64.def)
endif()
# The version resource takes its numbers from the project's version.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/TervexVersion.h.in ${CMAKE_BINARY_DIR}/generated/TervexVersion.h @ONLY)
add_library(tervex SHARED ${PROJECT_SOURCE_DIR}/plugin/DllMain.cpp ${PROJECT_SOURCE_DIR}/plugin/tervex.rc ${TERVEX_DEF})
target_include_directories(tervex PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(tervex PRIVATE tervex_win)
target_link_options(tervex PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup)
if(TERVEX_TARGET_IS_PRODUCT)
  # The linker would pick the base from a hash of the output path, so each build
  # folder gave another; a fixed one keeps a crash recipe's numbers the same for
  # every build of a release. (Windows may still load the DLL elsewhere: the fault
  # offset counts from wherever it was loaded.)
  target_link_options(tervex PRIVATE -Wl,--image-base=0x67300000)
endif()
set_target_properties(tervex PROPERTIES PREFIX "" OUTPUT_NAME tervex
  RUNTIME_OUTPUT_DIRECTORY ${TERVEX_DIST_DIR})
include(cmake/StripDll.cmake)

# GoogleTest cross-built from Debian's sources.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(cmake/WineTests.cmake)

# The reference host links the simulator library for its built-in port.
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/host/CMakeLists.txt)
  add_subdirectory(tools/sim)
  add_subdirectory(tools/host)
endif()

tervex_precompile(WINDOWS TARGETS tervex_win tervex_host_win tervex-host)
tervex_precompile(WINDOWS GTEST TARGETS tervex_wine_support tervex_wine_unit tervex_wine_dll
  tervex_host_wine_tests tervex_host_config_tests)

# Where the Windows tests cannot run (a tree that only builds the product), their
# programs are left out of the default build to keep it short; the record layouts are
# checked by the DLL's own compilation. A smoke run under emulation needs only the DLL's
# test program.
if(NOT TERVEX_RUN_WINE_TESTS)
  foreach(t tervex_wine_support tervex_wine_unit tervex_wine_dll tervex_host_wine_tests tervex_host_config_tests)
    if(TARGET ${t} AND NOT (TERVEX_WINE_SMOKE AND t STREQUAL tervex_wine_dll))
      set_target_properties(${t} PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
  endforeach()
endif()
