# Runs the 64-bit program under wine64, in a Wine prefix of this build's own that
# is set up before the first test and whose wineserver is stopped after the last.
find_program(WINE64 NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
find_program(WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine REQUIRED)
set(WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
configure_file(wine-run.in ${WINE_RUN} @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)

add_test(NAME wine.start COMMAND ${WINE_RUN} --start)
add_test(NAME wine.stop COMMAND ${WINE_RUN} --stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine LABELS e2e TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS e2e)

foreach(case ${E2E_CASES})
  add_test(NAME e2e.wine.${case}
    COMMAND ${E2E} ${case} --program $<TARGET_FILE:tickgauge64> --word-size 64 --crlf --runner ${WINE_RUN})
  set_tests_properties(e2e.wine.${case} PROPERTIES FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 120)
endforeach()
