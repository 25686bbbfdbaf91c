# Warnings shared by every target of the project.
add_library(gruv_warnings INTERFACE)
target_compile_options(gruv_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wdouble-promotion -Wnon-virtual-dtor
  -Wcast-align -Wunused -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
if(GRUV_WERROR)
  target_compile_options(gruv_warnings INTERFACE -Werror)
endif()
if(GRUV_BOUNDS_CHECK)
  target_compile_definitions(gruv_warnings INTERFACE GRUV_BOUNDS_CHECK=1)
endif()
