# Helpers shared by every component.

# Every program and shared library carries the version marker that
# fileVersion() reads back (the usage report and the updater use it).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version_marker.cpp.in
               ${CMAKE_BINARY_DIR}/generated/version_marker.cpp @ONLY)
add_library(tavrin_version_marker OBJECT ${CMAKE_BINARY_DIR}/generated/version_marker.cpp)

function(tavrin_mark_version target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:tavrin_version_marker>)
endfunction()

# tavrin_program(NAME SOURCES ... [LIBS ...])
function(tavrin_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  tavrin_mark_version(${name})
endfunction()

# tavrin_gtest(NAME SOURCES ... [LIBS ...] [LOCK resource] [TIMEOUT s])
# Tests live beside their component; each one is bounded in time.
function(tavrin_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    TAVRIN_BIN_DIR="${TAVRIN_BIN_DIR}"
    TAVRIN_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests"
    TAVRIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES ${props})
endfunction()
