# SPDX-License-Identifier: GPL-3.0-or-later
find_package(GTest REQUIRED)
include(GoogleTest)

# zirko_add_test(NAME <name> SOURCES <files...> LIBS <targets...> MAIN gtest|qt|<file>
#                LABELS <labels...> [ENV <VAR=value...>] [TIMEOUT <s>] [SERIAL] [PER_CASE])
#
# One GoogleTest executable. MAIN picks its main(): GoogleTest's own, the one that
# owns a QApplication (widget tests, run offscreen), or a source file of the test's
# own that defines main(). LABELS sort the entry for `ctest -L`: unit (quick, no
# privileges, no display), root, netns, x11, e2e, slow.
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
  set(scalars TIMEOUT ${T_TIMEOUT})
  if(T_SERIAL)
    list(APPEND scalars RUN_SERIAL TRUE)
  endif()

  if(T_PER_CASE)
    # Entries are named <executable>.<Suite>.<Case>, so -R <executable> still finds them all.
    gtest_discover_tests(${T_NAME}
      TEST_PREFIX "${T_NAME}."
      TEST_LIST ${T_NAME}_CASES
      NO_PRETTY_TYPES NO_PRETTY_VALUES
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${scalars})
    # Lists (several labels, several variables) do not survive the discovery's
    # re-quoting, so they are set on the listed cases by a file CTest reads after it.
    set(lists "LABELS [==[${T_LABELS}]==]")
    if(T_ENV)
      string(APPEND lists " ENVIRONMENT [==[${T_ENV}]==]")
    endif()
    set(case_properties "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_case_properties.cmake")
    file(GENERATE OUTPUT "${case_properties}" CONTENT
      "if(${T_NAME}_CASES)\n  set_tests_properties(\${${T_NAME}_CASES} PROPERTIES ${lists})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${case_properties}")
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES ${scalars} LABELS "${T_LABELS}")
    if(T_ENV)
      set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
    endif()
  endif()
endfunction()
