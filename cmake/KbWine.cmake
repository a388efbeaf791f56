# Wine test environment of a Windows cross build: prefixes inside the build tree, created once and
# reused, and a persistent wineserver per prefix while ctest runs (a cold start costs seconds per
# program). The user's own ~/.wine is never touched.

set(KB_WINE_ROOT "${CMAKE_BINARY_DIR}/wine")
set(KB_WINE_RUN "${CMAKE_SOURCE_DIR}/tools/wine/wine-run.sh")
find_program(KB_WINE wine)

# Which prefixes can this machine run for this build's programs? A 32-bit Wine needs a kernel that
# executes 32-bit Linux programs; probe it instead of assuming.
set(KB_WINE_PREFIXES "")
if(KB_WINE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KB_WINE_PREFIXES wow64)
  else()
    execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_rc
                    OUTPUT_QUIET ERROR_QUIET TIMEOUT 20)
    if(wine32_rc EQUAL 0)
      set(KB_WINE_PREFIXES win32 wow64)
    else()
      message(STATUS "32-bit Wine cannot run on this machine: the 32-bit Windows programs are built "
                     "but not run; the win64 configuration runs the same tests as 64-bit programs")
    endif()
  endif()
else()
  message(STATUS "wine not found: Windows tests are built but not run")
endif()

set(KB_WINE_STAMPS "")
foreach(prefix IN LISTS KB_WINE_PREFIXES)
  if(prefix STREQUAL win32)
    set(arch win32)
  else()
    set(arch win64)
  endif()
  set(dir "${KB_WINE_ROOT}/${prefix}")
  add_custom_command(OUTPUT "${dir}/.kb-ready"
    COMMAND "${CMAKE_SOURCE_DIR}/tools/wine/prefix.sh" "${dir}" ${arch}
    COMMENT "Creating the ${prefix} Wine prefix" VERBATIM)
  list(APPEND KB_WINE_STAMPS "${dir}/.kb-ready")
  add_test(NAME wine.server.start.${prefix}
           COMMAND "${CMAKE_SOURCE_DIR}/tools/wine/server.sh" start "${dir}")
  add_test(NAME wine.server.stop.${prefix}
           COMMAND "${CMAKE_SOURCE_DIR}/tools/wine/server.sh" stop "${dir}")
  set_tests_properties(wine.server.start.${prefix} PROPERTIES FIXTURES_SETUP wine_${prefix})
  set_tests_properties(wine.server.stop.${prefix} PROPERTIES FIXTURES_CLEANUP wine_${prefix})
endforeach()
if(KB_WINE_STAMPS)
  add_custom_target(wine_prefixes ALL DEPENDS ${KB_WINE_STAMPS})
endif()
