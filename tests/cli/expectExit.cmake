# Runs one veltrane-cli command and checks its exit status exactly, and that a failing run
# says why on stderr.
#   cmake -DCLI=<program> -DARGS=<arguments joined by |> -DEXPECT=<status>
#         [-DSTDOUT_MATCH=<regex>] -P expectExit.cmake
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${CLI} ${args}
                RESULT_VARIABLE status
                OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status STREQUAL EXPECT)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT}\nstdout: ${out}\nstderr: ${err}")
endif()
if(NOT EXPECT STREQUAL "0" AND err STREQUAL "")
  message(FATAL_ERROR "exit status ${status} without a message on stderr")
endif()
if(NOT STDOUT_MATCH STREQUAL "" AND NOT out MATCHES "${STDOUT_MATCH}")
  message(FATAL_ERROR "stdout does not match ${STDOUT_MATCH}:\n${out}")
endif()
