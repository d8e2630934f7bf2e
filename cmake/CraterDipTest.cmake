# craterdip_test(NAME SOURCES... [LIBS libs...] [LABELS labels...] [RESOURCE_LOCK locks...])
#
# One GoogleTest program per area; CTest runs it under Wine (one Wine start per area, not per case).
# Output that shows a crash or an undefined-behaviour trap fails the test whatever the exit code.
# Tests are labelled "inprocess" unless LABELS says otherwise; the UB-trap build runs that label.
function(craterdip_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} craterdip_testsupport coredll_compat GTest::gtest GTest::gtest_main)
  if(NOT ARG_LABELS)
    set(ARG_LABELS inprocess)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    TIMEOUT 300
    FAIL_REGULAR_EXPRESSION "Unhandled exception;illegal instruction;page fault")
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()
