# The restore benchmark (scripts/benchmark.sh): toverak's restore against mdbtools' pipeline and
# a bare ODBC loop. Not a timed test: ctest only runs it once at a tiny size to keep it working.
add_library(toverak_benchmark STATIC
  benchmark/bare_loop.cc benchmark/benchmark_backup.cc benchmark/benchmark_options.cc
  benchmark/benchmark_report.cc benchmark/child_run.cc benchmark/live_database.cc
  benchmark/mdbtools_pipeline.cc benchmark/measured_env.cc benchmark/toverak_restore.cc)
target_link_libraries(toverak_benchmark PUBLIC toverak_check toverak_platform toverak_testing)

add_executable(toverak-benchmark benchmark/restore_benchmark_main.cc)
target_link_libraries(toverak-benchmark PRIVATE toverak_benchmark)

add_executable(toverak_benchmark_tests benchmark/benchmark_test.cc)
target_link_libraries(toverak_benchmark_tests PRIVATE toverak_benchmark GTest::gtest_main)
gtest_discover_tests(toverak_benchmark_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

# A few hundred rows, both ways of growing, every way: seconds, not minutes.
add_test(NAME RestoreBenchmark.RunsEveryWayAtATinySize
         COMMAND toverak-benchmark --rows-scale 0.002 --scales 1,2)
set_tests_properties(RestoreBenchmark.RunsEveryWayAtATinySize PROPERTIES LABELS integration
                     TIMEOUT 300)
