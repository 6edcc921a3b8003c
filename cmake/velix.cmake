# velix_unit_test(NAME DIR [LIBS ...]): one GoogleTest program from every *.cc in DIR.
# Tests of the Linux backend's own helpers (*_linux_test.cc) are left out on Windows.
function(velix_unit_test name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cc)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_linux_test\\.cc$")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE velixsigner GTest::gtest GTest::gtest_main ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    VELIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VELIX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
