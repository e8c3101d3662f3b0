# The installer's tests: the wizards driven under a scratch home, and the
# built Debian package looked into when "make package" has made one.
tavlin_test(setup_tests ${CMAKE_CURRENT_LIST_DIR} OWN_MAIN LIBS tavlin_setup Qt6::Test)

add_test(NAME setup_package_contents
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/check_package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(setup_package_contents PROPERTIES SKIP_RETURN_CODE 77)
if(TARGET setup_tests)
  target_compile_definitions(setup_tests PRIVATE TAVLIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
