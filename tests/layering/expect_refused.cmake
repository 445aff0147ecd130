cmake_minimum_required(VERSION 3.25)
# Builds a probe (BUILD: the build command) and passes only when the build fails because
# the compiler cannot find HEADER.
execute_process(COMMAND ${BUILD} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "The probe compiled: ${HEADER} is within reach where it must not be.")
endif()
string(FIND "${output}" "${HEADER}: No such file or directory" at)
if(at EQUAL -1)
  message(FATAL_ERROR "The probe failed, but not because ${HEADER} is out of reach:\n${output}")
endif()
