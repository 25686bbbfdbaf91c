# add_golden_test(NAME <name> CASE <dir> [DECK <deck>] [ARGS ...] [STDIN <file>] [EXIT_CODE <n>])
#
# Runs gruv3d in a fresh scratch directory and compares every file of
# <dir>/expected byte for byte with the file of the same name that the run
# left behind ("stdout" stands for the console output). The directory starts
# with a copy of the files of <dir>/input; with DECK (a deck below the source
# tree, e.g. examples/<name>/<name>.gruv) it starts empty and the deck is run
# in place, so that the files it reads are found next to it, as a user's run
# of the example would find them. Lines with the computing time are masked on
# both sides.
# Set GRUV_UPDATE_GOLDEN=1 in the environment to rewrite the expected files
# from the run (a deliberate act: review the diff before committing).
function(add_golden_test)
  cmake_parse_arguments(G "" "NAME;CASE;DECK;STDIN;EXIT_CODE" "ARGS" ${ARGN})
  if(NOT G_EXIT_CODE)
    set(G_EXIT_CODE 0)
  endif()
  set(deck "")
  if(G_DECK)
    set(deck ${PROJECT_SOURCE_DIR}/${G_DECK})
  endif()
  add_test(NAME golden_${G_NAME}
    COMMAND ${CMAKE_COMMAND}
      -DGRUV3D=$<TARGET_FILE:gruv3d>
      -DCASE_DIR=${CMAKE_CURRENT_SOURCE_DIR}/${G_CASE}
      -DDECK=${deck}
      -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/work/${G_NAME}
      "-DARGS=${G_ARGS}"
      -DSTDIN=${G_STDIN}
      -DEXIT_CODE=${G_EXIT_CODE}
      -P ${PROJECT_SOURCE_DIR}/cmake/run_golden.cmake)
  set_tests_properties(golden_${G_NAME} PROPERTIES LABELS "golden")
endfunction()
