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
  craterdip_test_properties(${name} "${ARG_LABELS}" "${ARG_RESOURCE_LOCK}")
endfunction()

# craterdip_test_properties(TEST LABELS [RESOURCE_LOCK]): what craterdip_test gives its test, for a second
# CTest entry of the same program.
function(craterdip_test_properties test labels locks)
  set_tests_properties(${test} PROPERTIES
    LABELS "${labels}"
    TIMEOUT 300
    FAIL_REGULAR_EXPRESSION "Unhandled exception;illegal instruction;page fault")
  if(locks)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()
