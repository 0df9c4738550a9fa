# The shipped DLL carries no debug information: it goes into tervex.dll.debug
# beside it, joined by a debug link, so a crash address from the field can still
# be resolved to a function and line. Every tree strips, so the tests always run
# against a DLL as it ships.
find_program(TERVEX_OBJCOPY ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objcopy REQUIRED)
find_program(TERVEX_STRIP ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-strip REQUIRED)
add_custom_command(TARGET tervex POST_BUILD
  COMMAND ${TERVEX_OBJCOPY} --only-keep-debug tervex.dll tervex.dll.debug
  COMMAND ${TERVEX_STRIP} --strip-all tervex.dll
  COMMAND ${TERVEX_OBJCOPY} --add-gnu-debuglink=tervex.dll.debug tervex.dll
  WORKING_DIRECTORY ${TERVEX_DIST_DIR}
  COMMENT "Stripping tervex.dll, debug information kept in tervex.dll.debug"
  VERBATIM)

if(TERVEX_TARGET_IS_PRODUCT)
  find_program(TERVEX_NM ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-nm REQUIRED)
  find_program(TERVEX_ADDR2LINE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-addr2line REQUIRED)
  find_program(TERVEX_OBJDUMP ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump REQUIRED)
  find_program(TERVEX_CXXFILT ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-c++filt REQUIRED)
  add_test(NAME dll_stripped_with_debug_file
    COMMAND ${CMAKE_COMMAND} -DDLL=${TERVEX_DIST_DIR}/tervex.dll -DNM=${TERVEX_NM}
            -DADDR2LINE=${TERVEX_ADDR2LINE} -DOBJDUMP=${TERVEX_OBJDUMP} -DCXXFILT=${TERVEX_CXXFILT}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckDebugFile.cmake)
endif()
