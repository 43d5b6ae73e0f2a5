# The restore benchmark (scripts/benchmark.sh): toverak's restore against mdbtools' pipeline and
# a bare ODBC loop. Not a timed test: ctest only runs it once at a tiny size to keep it working.
file(GLOB benchmark_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testing/benchmark/*.cc)
list(FILTER benchmark_sources EXCLUDE REGEX "(_test|_main)\\.cc$")
add_library(toverak_benchmark STATIC ${benchmark_sources})
target_link_libraries(toverak_benchmark PUBLIC toverak_posix toverak_testing)

add_executable(toverak-benchmark testing/benchmark/restore_benchmark_main.cc)
target_link_libraries(toverak-benchmark PRIVATE toverak_benchmark)

file(GLOB benchmark_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/testing/benchmark/*_test.cc)
if(benchmark_tests)
  add_executable(toverak_benchmark_tests ${benchmark_tests})
  target_link_libraries(toverak_benchmark_tests PRIVATE toverak_benchmark GTest::gtest_main)
  gtest_discover_tests(toverak_benchmark_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endif()

# A few hundred rows, both ways of growing, every way: seconds, not minutes.
add_test(NAME RestoreBenchmark.RunsEveryWayAtATinySize
         COMMAND toverak-benchmark --rows-scale 0.002 --scales 1,2)
set_tests_properties(RestoreBenchmark.RunsEveryWayAtATinySize PROPERTIES LABELS integration
                     TIMEOUT 300)
