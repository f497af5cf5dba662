find_package(GTest REQUIRED)
include(GoogleTest)

# zirko_add_test(NAME <name> SOURCES <files...> LIBS <targets...> MAIN gtest|qt|<file>
#                LABELS <labels...> [ENV <VAR=value...>] [TIMEOUT <s>] [SERIAL] [PER_CASE])
#
# One GoogleTest executable. MAIN picks its main(): GoogleTest's own, the one that
# owns a QApplication (widget tests, run offscreen), or a source file of the test's
# own that defines main(). LABELS sort the entry for
# `ctest -L`: unit (quick, no privileges), root, netns, x11, e2e, slow.
# SERIAL keeps timing-sensitive tests (namespaces, X servers) from running alongside
# others. PER_CASE gives every test case a CTest entry of its own (listed at build time
# by running the executable with --gtest_list_tests); otherwise the executable is one
# entry.
function(zirko_add_test)
  cmake_parse_arguments(T "SERIAL;PER_CASE" "NAME;TIMEOUT;MAIN" "SOURCES;LIBS;ENV;LABELS"
                        ${ARGN})
  if(NOT T_LABELS)
    message(FATAL_ERROR "zirko_add_test(${T_NAME}): give it LABELS, so ctest -L can pick it")
  endif()
  if(NOT T_MAIN)
    message(FATAL_ERROR "zirko_add_test(${T_NAME}): say which main() it gets: MAIN gtest|qt|<file>")
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_MAIN STREQUAL "gtest")
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  elseif(T_MAIN STREQUAL "qt")
    target_link_libraries(${T_NAME} PRIVATE zirko_qt_test_main)
  else()
    target_sources(${T_NAME} PRIVATE ${T_MAIN})
  endif()

  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # Lists (labels, environment) travel as one value each: their ';' is escaped.
  string(REPLACE ";" "\\;" labels "${T_LABELS}")
  string(REPLACE ";" "\\;" environment "${T_ENV}")
  set(properties TIMEOUT ${T_TIMEOUT} LABELS "${labels}")
  if(T_ENV)
    list(APPEND properties ENVIRONMENT "${environment}")
  endif()
  if(T_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()

  if(T_PER_CASE)
    # Entries are named <executable>.<Suite>.<Case>, so -R <executable> still finds them all.
    gtest_discover_tests(${T_NAME}
      TEST_PREFIX "${T_NAME}."
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${properties})
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ${properties})
  endif()
endfunction()
