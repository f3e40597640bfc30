# Runs the Windows test programs of a cross build under Wine: a prefix of the build's
# own (made at build time, before tests are discovered), a launcher script that the
# test runner uses as the cross-compiling emulator, and a second drive for tests that
# cross drives.
find_program(ZOVU_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
if(NOT ZOVU_WINE OR NOT ZOVU_WINESERVER)
  message(FATAL_ERROR "Wine is needed to run the Windows tests (Debian packages wine64 and wine)")
endif()

set(ZOVU_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(ZOVU_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
set(ZOVU_TEST_SECOND_DRIVE Y)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${ZOVU_WINE_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

add_custom_command(
  OUTPUT ${ZOVU_WINEPREFIX}.stamp
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/make-wine-prefix.sh ${ZOVU_WINEPREFIX}
          ${ZOVU_TEST_SECOND_DRIVE} ${CMAKE_BINARY_DIR}/wine-drive-${ZOVU_TEST_SECOND_DRIVE}
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOVU_WINEPREFIX}.stamp
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make-wine-prefix.sh
  COMMENT "Creating the Wine prefix for the Windows tests"
  VERBATIM)
add_custom_target(zovu_wine_prefix DEPENDS ${ZOVU_WINEPREFIX}.stamp)

set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOVU_WINE_RUN})
