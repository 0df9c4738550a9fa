# Native build: the core library, its GoogleTest suite and the native tools.
option(TERVEX_SANITIZE "Build everything here (core, tests, simulator, tools) with ASan and UBSan" OFF)
option(TERVEX_FUZZ "Build the fuzz targets as libFuzzer programs (clang), with ASan and UBSan" OFF)
if(TERVEX_SANITIZE OR TERVEX_FUZZ)
  set(TERVEX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  if(TERVEX_FUZZ)
    list(APPEND TERVEX_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
  endif()
  # The core exists already; every target made from here on gets the flags too.
  target_compile_options(tervex_core PRIVATE ${TERVEX_SANITIZER_FLAGS})
  add_compile_options(${TERVEX_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB TERVEX_NATIVE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/native/*.cpp)
add_executable(tervex_native_tests ${TERVEX_NATIVE_TESTS})
target_link_libraries(tervex_native_tests PRIVATE tervex_core GTest::gtest GTest::gtest_main)
# Allocation failures on demand, for the tests of running out of memory.
target_sources(tervex_native_tests PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/AllocationFaults.cpp)
tervex_warnings(tervex_native_tests)
gtest_discover_tests(tervex_native_tests DISCOVERY_TIMEOUT 60)

# The core must stay free of the Windows API.
add_test(NAME core_has_no_windows_h
  COMMAND sh -c "! grep -rIl -i -E '#\\s*include\\s*[<\"](windows|winbase|ole2|oleauto|objbase)\\.h' values/*.* protocol/*.* config/*.* tools/sim tools/host/core 2>/dev/null | grep ."
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
# Every include points down: core, Windows layer, pages, plug-in.
add_test(NAME includes_point_down COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})

foreach(dir tools/sim tools/host bench fuzz tests/soak)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

tervex_precompile(GTEST TARGETS tervex_native_tests tervex_sim_tests tervex_host_tests tervex_host_e2e)
# Benchmarks are built and run by scripts/bench.sh, not by every build.
if(TARGET tervex_bench)
  set_target_properties(tervex_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
