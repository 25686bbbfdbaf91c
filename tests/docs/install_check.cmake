# Script behind install_test: installs the build into a scratch prefix, checks
# that every example file and the docs arrived, and runs an installed example
# that reads a file stored beside it, in place from an empty directory.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(status)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${err}")
endif()

set(missing)
file(GLOB_RECURSE examples RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/examples/*)
foreach(f IN LISTS examples)
  string(REPLACE "examples/" "share/gruv3d/examples/" f ${f})
  list(APPEND wanted ${f})
endforeach()
list(APPEND wanted bin/gruv3d bin/gruv3d-plot bin/gruv3d-study lib/gruv3d/study/cli.py
  share/gruv3d/docs/deck-reference.md share/gruv3d/docs/README.md)
foreach(f IN LISTS wanted)
  if(NOT EXISTS ${prefix}/${f})
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()

set(run ${WORK_DIR}/run)
file(MAKE_DIRECTORY ${run})
execute_process(COMMAND ${prefix}/bin/gruv3d ${prefix}/share/gruv3d/examples/restart_chain_2/restart_chain_2.gruv
  WORKING_DIRECTORY ${run} INPUT_FILE /dev/null OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS ${run}/kette2.lst OR NOT EXISTS ${run}/GRUVWS)
  message(FATAL_ERROR "the installed example did not run in place (status ${status}):\n${out}\n${err}")
endif()

# The installed companion commands find their code and answer --help.
foreach(tool gruv3d-plot gruv3d-study)
  execute_process(COMMAND ${prefix}/bin/${tool} --help
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT out MATCHES "(usage|Aufruf): ${tool}")
    message(FATAL_ERROR "installed ${tool} --help failed (status ${status}):\n${out}\n${err}")
  endif()
endforeach()
