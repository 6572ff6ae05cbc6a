# One warning policy and one test helper for every target.

function(set_project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
endfunction()

# add_unit_test(NAME source... [LIBS lib...])
# Builds one GoogleTest binary and registers its tests with ctest.
function(add_unit_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE testing ${ARG_LIBS} testing_main)
  set_project_warnings(${name})
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                       DISCOVERY_TIMEOUT 60)
endfunction()
