# Test support: the Jet writer that makes the test databases, helpers that start real
# components (PostgreSQL and MariaDB servers, a private D-Bus bus) and the restore in-process.
find_package(nlohmann_json REQUIRED)
toverak_sources(testing_sources testing)
add_library(toverak_testing STATIC ${testing_sources})
target_link_libraries(toverak_testing PUBLIC toverak_platform toverak_fakes
                      nlohmann_json::nlohmann_json)
target_compile_definitions(toverak_testing PUBLIC
  TOVERAK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TOVERAK_BINARY_DIR="${PROJECT_BINARY_DIR}")

# Writes an Access file from a JSON description (the demo and the tests use it).
add_executable(make-mdb tools/make_mdb_main.cc)
target_link_libraries(make-mdb PRIVATE toverak_testing)

# An ODBC driver that reaches no database and records what it is sent; the driver manager loads
# it by its path.
add_library(toverak_recording_odbc MODULE testing/recording_odbc/recording_odbc_driver.cc)

# The real POSIX implementations against real components, and the test support's own tests.
toverak_tests(posix_tests platform/posix platform/posix/access platform/posix/odbc
              platform/posix/systemd testing)
add_executable(toverak_posix_tests ${posix_tests})
target_link_libraries(toverak_posix_tests PRIVATE toverak_platform toverak_testing toverak_fakes
                      GTest::gmock GTest::gtest_main)
target_compile_definitions(toverak_posix_tests PRIVATE TOVERAK_MAKE_MDB="$<TARGET_FILE:make-mdb>")
add_dependencies(toverak_posix_tests make-mdb)
gtest_discover_tests(toverak_posix_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)

# The whole programs, as operators run them.
toverak_tests(program_tests tests)
add_executable(toverak_program_tests ${program_tests})
target_link_libraries(toverak_program_tests PRIVATE toverak_check toverak_platform toverak_testing
                      toverak_fakes GTest::gmock GTest::gtest_main)
target_compile_definitions(toverak_program_tests PRIVATE
  TOVERAK_EXECUTABLE="$<TARGET_FILE:toverak>"
  TOVERAK_CHECK="$<TARGET_FILE:toverak-check>"
  TOVERAK_MAKE_MDB="$<TARGET_FILE:make-mdb>"
  TOVERAK_RECORDING_ODBC_DRIVER="$<TARGET_FILE:toverak_recording_odbc>")
add_dependencies(toverak_program_tests toverak toverak-check make-mdb toverak_recording_odbc)
gtest_discover_tests(toverak_program_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)

include(cmake/benchmark.cmake)
