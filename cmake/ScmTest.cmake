# scm_add_gtest(<name> SOURCES ... LIBS ... [TEST_SUFFIX <s>]): one GoogleTest binary
# registered with ctest; TEST_SUFFIX tells apart the tests of a second build of the same sources.
#
# In a cross build ctest runs every test under CMAKE_CROSSCOMPILING_EMULATOR,
# and SCM_SIM_EMULATOR tells the tests and the host simulator to start the
# programs they spawn under it as well (sim/rtp/rtp_emulator.h).
set(scm_test_environment "")
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 scm_emulator_name)
  find_program(SCM_EMULATOR_PROGRAM ${scm_emulator_name} REQUIRED)
  set(scm_emulator_words ${CMAKE_CROSSCOMPILING_EMULATOR})
  list(REMOVE_AT scm_emulator_words 0)
  string(JOIN " " scm_emulator_command ${SCM_EMULATOR_PROGRAM} ${scm_emulator_words})
  set(scm_test_environment "SCM_SIM_EMULATOR=${scm_emulator_command}")
endif()

function(scm_add_gtest name)
  cmake_parse_arguments(ARG "" "TEST_SUFFIX" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_SUFFIX "${ARG_TEST_SUFFIX}"
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "${scm_test_environment}")
endfunction()
