# Runs a test program with TMPDIR set to a fresh folder; fails unless it passes and leaves that
# folder empty, as every test should clean up after itself.
#   cmake -DDIR=<fresh folder> -DCOMMAND=<program and arguments joined by |> -P noFilesLeft.cmake
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
string(REPLACE "|" ";" command "${COMMAND}")
set(ENV{TMPDIR} "${DIR}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}\n${err}")
endif()
file(GLOB left LIST_DIRECTORIES true "${DIR}/*" "${DIR}/.*")
file(REMOVE_RECURSE "${DIR}")
if(left)
  message(FATAL_ERROR "left in the temporary folder: ${left}")
endif()
