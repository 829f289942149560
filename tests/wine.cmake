# Runs the program under wine64, in a Wine prefix of this build's own that is set
# up before the first test and whose wineserver is stopped after the last. The
# 32-bit program runs in wine64's WoW64 mode, with Wine's i386 DLLs that
# tools/fetch-wine-i386 puts into the build folder.
find_program(WINE64 NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
find_program(WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine REQUIRED)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
set(WINE_DLL_PATH "")
# The scripted clock goes under wine64 itself, a program of this machine: built with its
# own compiler, not the cross compiler.
find_program(HOST_CXX NAMES c++ g++ REQUIRED)
set(SCRIPTED_CLOCK ${CMAKE_BINARY_DIR}/libscripted_clock.so)
add_custom_command(OUTPUT ${SCRIPTED_CLOCK}
  COMMAND ${HOST_CXX} -shared -fPIC -O2 ${CMAKE_CURRENT_SOURCE_DIR}/e2e/scripted_clock.cpp
    -o ${SCRIPTED_CLOCK} -ldl
  DEPENDS e2e/scripted_clock.cpp)
add_custom_target(scripted_clock_host ALL DEPENDS ${SCRIPTED_CLOCK})
set(E2E_WINE --program $<TARGET_FILE:${TICKGAUGE_PROGRAM}> --word-size ${TICKGAUGE_WORD_SIZE} --crlf
  --runner ${WINE_RUN} --scripted-clock ${SCRIPTED_CLOCK})
if(TICKGAUGE_WORD_SIZE EQUAL 32)
  set(WINE_DLL_PATH ${CMAKE_BINARY_DIR}/wine-i386/usr/lib/i386-linux-gnu/wine)
  # Under WoW64 the emulation check answers yes. Where this machine cannot run
  # 32-bit code at all, the probe says why in this file and the cases are skipped.
  list(APPEND E2E_WINE --warning --skip-marker ${CMAKE_BINARY_DIR}/wow64-unavailable)
endif()
configure_file(wine-run.in ${WINE_RUN} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)

add_test(NAME wine.start COMMAND ${WINE_RUN} --start)
add_test(NAME wine.stop COMMAND ${WINE_RUN} --stop)
# A new prefix takes Wine a minute or more, and three or more times as long on the
# emulated machine's CPU, where tools/check runs the 32-bit program.
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine LABELS e2e TIMEOUT 900)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS e2e)
# A case's time; the 32-bit program may run on the emulated machine's CPU, five or more
# times as slow on a busy host.
set(wine_case_timeout 120)
if(TICKGAUGE_WORD_SIZE EQUAL 32)
  set(wine_case_timeout 600)
  add_test(NAME wine.wow64_probe COMMAND ${E2E} wow64_probe ${E2E_WINE})
  set_tests_properties(wine.wow64_probe PROPERTIES FIXTURES_SETUP wine DEPENDS wine.start LABELS e2e
    TIMEOUT ${wine_case_timeout})
endif()

foreach(case ${E2E_CASES})
  add_test(NAME e2e.wine.${case} COMMAND ${E2E} ${case} ${E2E_WINE})
  set_tests_properties(e2e.wine.${case} PROPERTIES FIXTURES_REQUIRED wine LABELS e2e
    TIMEOUT ${wine_case_timeout} SKIP_RETURN_CODE 77)
endforeach()
