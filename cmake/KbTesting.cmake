# Test helpers shared by every folder.
#
# kb_add_test(<name> SOURCES <files...> [LIBS <libs...>] [NATIVE_ONLY] [WINDOWS_ONLY] [NO_GTEST_MAIN])
#   Builds a GoogleTest program. Natively it is one ctest. In a Windows cross build it runs under
#   Wine once per prefix this build can run (KB_WINE_PREFIXES), each run named <name>.<prefix>.
#
# kb_add_wine_test(<name> PREFIX <prefix> COMMAND <program> [args...])
#   Registers an arbitrary Windows program as a ctest in one prefix, with the wineserver fixture.
#
# kb_host_tool(<var> <tool>) sets <var> to the path of a build-time tool built by the native
#   configuration (from KB_HOST_TOOLS_DIR when it is set; a cross build needs it) and <var>_DEPENDS to what a custom
#   command should depend on.

function(kb_host_tool var tool)
  if(CMAKE_CROSSCOMPILING AND NOT KB_HOST_TOOLS_DIR)
    message(FATAL_ERROR "cross builds need -DKB_HOST_TOOLS_DIR=<native build dir> (use the Makefile)")
  endif()
  # The sanitizer and fuzz builds take the tools from the native build too: a sanitized packer
  # takes many times longer over the same payload and checks nothing the native tests miss.
  if(KB_HOST_TOOLS_DIR)
    set(${var} "${KB_HOST_TOOLS_DIR}/bin/${tool}" PARENT_SCOPE)
    set(${var}_DEPENDS "${KB_HOST_TOOLS_DIR}/bin/${tool}" PARENT_SCOPE)
  else()
    set(${var} "$<TARGET_FILE:${tool}>" PARENT_SCOPE)
    set(${var}_DEPENDS ${tool} PARENT_SCOPE)
  endif()
endfunction()

function(kb_add_wine_test name)
  cmake_parse_arguments(T "" "PREFIX" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND "${KB_WINE_RUN}" ${T_PREFIX} ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_${T_PREFIX}
    ENVIRONMENT "KB_WINE_ROOT=${KB_WINE_ROOT}" TIMEOUT 300)
endfunction()

function(kb_add_test name)
  cmake_parse_arguments(T "NATIVE_ONLY;WINDOWS_ONLY;NO_GTEST_MAIN" "" "SOURCES;LIBS" ${ARGN})
  if(T_NATIVE_ONLY AND KB_WINDOWS)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT KB_WINDOWS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_NO_GTEST_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  endif()
  if(KB_WINDOWS)
    if(KB_WINDOWS_MANIFEST_RC)
      target_sources(${name} PRIVATE ${KB_WINDOWS_MANIFEST_RC})
    endif()
    foreach(prefix IN LISTS KB_WINE_PREFIXES)
      kb_add_wine_test(${name}.${prefix} PREFIX ${prefix} COMMAND $<TARGET_FILE:${name}>)
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()
