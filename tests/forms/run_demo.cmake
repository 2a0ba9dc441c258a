# Runs the forms demo under an operator script and checks its exit code, its
# standard error and (when given) its transcript and dump against expected
# files. Variables: PROGRAM, ARGS, SCRIPT, WORKDIR, EXIT_CODE, STDERR,
# EXPECTED_TRANSCRIPT, EXPECTED_DUMP, TIMEOUT (ORN_UI_TIMEOUT, default 60).
if(NOT TIMEOUT)
  set(TIMEOUT 60)
endif()
file(REMOVE_RECURSE "${WORKDIR}")
file(MAKE_DIRECTORY "${WORKDIR}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ORN_UI_SCRIPT=${SCRIPT} ORN_UI_TRANSCRIPT=${WORKDIR}/transcript.txt
          ORN_UI_TIMEOUT=${TIMEOUT} ${PROGRAM} ${ARGS}
  WORKING_DIRECTORY "${WORKDIR}"
  RESULT_VARIABLE code
  ERROR_VARIABLE err)
if(NOT code STREQUAL EXIT_CODE)
  message(FATAL_ERROR "exit code ${code}, expected ${EXIT_CODE}; stderr: ${err}")
endif()
if(NOT err STREQUAL STDERR)
  message(FATAL_ERROR "stderr '${err}', expected '${STDERR}'")
endif()
foreach(pair "transcript.txt;${EXPECTED_TRANSCRIPT}" "dump.txt;${EXPECTED_DUMP}")
  list(GET pair 0 actual)
  list(LENGTH pair n)
  if(n LESS 2)
    continue()
  endif()
  list(GET pair 1 expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORKDIR}/${actual}" "${expected}"
                  RESULT_VARIABLE differs)
  if(differs)
    file(READ "${WORKDIR}/${actual}" text)
    message(FATAL_ERROR "${actual} differs from ${expected}:\n${text}")
  endif()
endforeach()
# A passing run leaves nothing behind; a failing one keeps its folder for a look.
file(REMOVE_RECURSE "${WORKDIR}")
