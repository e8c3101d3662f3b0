# tavlin_library(NAME DIR [LIBS ...]): a static library of every .cpp in DIR
# (not recursive), so new source files need no edit of the build files.
function(tavlin_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# tavlin_test(NAME DIR [OWN_MAIN] LIBS ...): one GoogleTest program of every
# .cpp in DIR; OWN_MAIN when one of them defines main() (Qt application tests).
function(tavlin_test name dir)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock tavlin_testsupport)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TAVLIN_BIN_DIR})
  add_dependencies(${name} tavlin_data)
  gtest_discover_tests(${name}
    # Qt test programs choose the offscreen platform themselves.
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "TAVLIN_TEST_SRC=${CMAKE_SOURCE_DIR}")
endfunction()
