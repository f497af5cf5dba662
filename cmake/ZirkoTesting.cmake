find_package(GTest REQUIRED)

# zirko_add_test(NAME <name> SOURCES <files...> LIBS <targets...>
#                [ENV <VAR=value...>] [LABELS <labels...>] [TIMEOUT <s>] [SERIAL])
# SERIAL keeps timing-sensitive tests (namespaces, X servers) from running alongside others.
# One GoogleTest executable, registered as one CTest test. Tests that need a
# QApplication link zirko_qt_test_main instead of GoogleTest's own main.
function(zirko_add_test)
  cmake_parse_arguments(T "SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_LIBS MATCHES "zirko_qt_test_main")
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
  if(T_SERIAL)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
