# orvane_add_test(NAME name SOURCES a_test.cpp ... LIBS lib ... [TIMEOUT s] [LABELS l ...])
# Registers one GoogleTest executable with CTest. Every test runs offscreen, in a
# UTF-8 locale, and finds the source tree through ORVANE_SOURCE_DIR.
add_library(orvane_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/test_main.cpp)
target_link_libraries(orvane_test_main PUBLIC Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)

function(orvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} orvane_test_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;ORVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR};ORVANE_BIN_DIR=${ORVANE_BIN_DIR};ORVANE_SHARED_DIR=${CMAKE_SOURCE_DIR}/../shared;${T_ENV}")
endfunction()
