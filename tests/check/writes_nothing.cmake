# gruv3d --check on a deck that names a listing, with every result file for
# other tools asked for on the command line: the working directory must hold
# afterwards just what it held before.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY_FILE ${DECK} ${WORK_DIR}/GRUVAT)
execute_process(COMMAND ${GRUV3D} --check --csv tables --netcdf run.nc --vtk fields GRUVAT
  WORKING_DIRECTORY ${WORK_DIR}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE status)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, expected 1\n${out}\n${err}")
endif()
file(GLOB left RELATIVE ${WORK_DIR} ${WORK_DIR}/*)
if(NOT left STREQUAL "GRUVAT")
  message(FATAL_ERROR "the check left files behind: ${left}")
endif()
