# GoogleTest: Debian's build for this machine, or built from Debian's sources with the cross
# compiler.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(gtest_target gtest gtest_main gmock)
    target_compile_options(${gtest_target} PRIVATE -w)
  endforeach()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# In-memory fakes of the platform interfaces.
toverak_sources(fake_sources platform/fake)
add_library(toverak_fakes STATIC ${fake_sources})
target_link_libraries(toverak_fakes PUBLIC toverak_core)

# The logic, against the fakes: fast, no real pauses.
toverak_tests(unit_tests platform platform/fake driver runlog services restore app)
add_executable(toverak_unit_tests ${unit_tests})
target_link_libraries(toverak_unit_tests PRIVATE toverak_check toverak_fakes GTest::gmock
                      GTest::gtest_main)

if(WIN32)
  include(cmake/windows_tests.cmake)
else()
  gtest_discover_tests(toverak_unit_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
  add_test(NAME IncludeRule.EveryIncludeRunsDownward
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-includes.sh ${PROJECT_SOURCE_DIR})
  set_tests_properties(IncludeRule.EveryIncludeRunsDownward PROPERTIES LABELS unit)
  include(cmake/posix_tests.cmake)
endif()
