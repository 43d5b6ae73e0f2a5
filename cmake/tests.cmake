find_package(GTest REQUIRED)
include(GoogleTest)

# In-memory fakes of the platform interfaces.
toverak_sources(fake_sources platform/fake)
add_library(toverak_fakes STATIC ${fake_sources})
target_link_libraries(toverak_fakes PUBLIC toverak_core)

# The logic, against the fakes: fast, no real pauses.
toverak_tests(unit_tests platform driver runlog services restore platform/fake)
add_executable(toverak_unit_tests ${unit_tests})
target_link_libraries(toverak_unit_tests PRIVATE toverak_fakes GTest::gmock GTest::gtest_main)
gtest_discover_tests(toverak_unit_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

if(NOT WIN32)
  include(cmake/posix_tests.cmake)
endif()
