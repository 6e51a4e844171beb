# zv_add_unit_test(NAME SOURCES src... [LIBS lib...])
# One GoogleTest program per module, registered as one ctest test: every start
# of a Windows program under Wine costs time, so tests are not split per case.
function(zv_add_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zv_test_support GTest::gtest GTest::gmock
                        GTest::gtest_main)
  if(ZV_WINDOWS)
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# zv_add_fuzzer(NAME SOURCES src... [LIBS lib...]) - host build with clang only.
function(zv_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT ZV_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
