# tavlin_layer(FOLDER [SUBDIRS d...] [USES layer...] [LIBS lib...] [QT NONE|GUI|WIDGETS])
# One static library, tavlin_FOLDER, of every .cpp in FOLDER (and in the listed
# subfolders), so new source files need no edit of the build files. USES are
# the layers below it that it may include and link; they are linked privately,
# so a layer never sees more than it declares. The declared edges are also
# written to layers.txt in the build folder, which the layering test holds
# every #include against.
function(tavlin_layer folder)
  cmake_parse_arguments(ARG "" "QT" "SUBDIRS;USES;LIBS" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/${folder})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(sub ${ARG_SUBDIRS})
    file(GLOB more CONFIGURE_DEPENDS ${dir}/${sub}/*.cpp)
    list(APPEND srcs ${more})
  endforeach()
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  set(name tavlin_${folder})
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  foreach(layer ${ARG_USES})
    target_link_libraries(${name} PRIVATE tavlin_${layer})
  endforeach()
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  if(NOT ARG_QT)
    set(ARG_QT NONE)
  endif()
  string(REPLACE ";" "," uses "${ARG_USES}")
  set_property(GLOBAL APPEND PROPERTY TAVLIN_LAYERS "${folder}|${uses}|${ARG_QT}")
endfunction()

# Writes the declared layers for the layering test (called once at the end).
function(tavlin_write_layers file)
  get_property(layers GLOBAL PROPERTY TAVLIN_LAYERS)
  string(REPLACE ";" "\n" text "${layers}")
  file(WRITE ${file} "${text}\n")
endfunction()

# tavlin_program(NAME DIR LIBS ...): a program of every .cpp in DIR.
function(tavlin_program name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  add_dependencies(${name} tavlin_data)
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
