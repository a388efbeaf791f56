# Runs LAYOUTC on SOURCE and passes only when it fails with a message matching EXPECT.
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND "${LAYOUTC}" "${SOURCE}" "${OUT}"
                RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_VARIABLE out)
if(rc EQUAL 0)
  message(FATAL_ERROR "layoutc accepted a bad source")
endif()
if(NOT err MATCHES "${EXPECT}")
  message(FATAL_ERROR "unexpected message: ${err}")
endif()
message(STATUS "refused as expected: ${err}")
