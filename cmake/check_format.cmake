# cmake -DCLANG_FORMAT=<exe> -DSOURCE_DIR=<tree> -P check_format.cmake: fails
# naming the sources that clang-format would change.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
list(FILTER sources EXCLUDE REGEX "^${SOURCE_DIR}/build")
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror --style=file ${sources}
                RESULT_VARIABLE failed ERROR_VARIABLE said)
if(failed)
  string(REGEX MATCHALL "[^\n]*: error: code should be clang-formatted" files "${said}")
  list(REMOVE_DUPLICATES files)
  string(REPLACE ";" "\n  " files "${files}")
  message(FATAL_ERROR "not in the tree's format (run clang-format -i):\n  ${files}")
endif()
