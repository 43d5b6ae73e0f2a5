# Test support: the Jet writer that makes the test databases, and helpers that start real
# components (a PostgreSQL server, a private D-Bus bus).
find_package(nlohmann_json REQUIRED)
toverak_sources(testing_sources testing)
list(FILTER testing_sources EXCLUDE REGEX "_main\\.cc$")
add_library(toverak_testing STATIC ${testing_sources})
target_link_libraries(toverak_testing PUBLIC toverak_core nlohmann_json::nlohmann_json)
target_compile_definitions(toverak_testing PUBLIC
  TOVERAK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  TOVERAK_BINARY_DIR="${CMAKE_BINARY_DIR}")

if(EXISTS ${CMAKE_SOURCE_DIR}/testing/make_mdb_main.cc)
  add_executable(make-mdb testing/make_mdb_main.cc)
  target_link_libraries(make-mdb PRIVATE toverak_testing)
endif()

# The real POSIX implementations against real components.
toverak_tests(posix_tests platform/posix platform/posix/access platform/posix/odbc
              platform/posix/systemd testing)
add_executable(toverak_posix_tests ${posix_tests})
target_link_libraries(toverak_posix_tests PRIVATE toverak_posix toverak_testing toverak_fakes
                      GTest::gmock GTest::gtest_main)
target_compile_definitions(toverak_posix_tests PRIVATE
  TOVERAK_EXECUTABLE="$<TARGET_FILE:toverak>"
  TOVERAK_CHECK="$<TARGET_FILE:toverak-check>"
  $<$<TARGET_EXISTS:make-mdb>:TOVERAK_MAKE_MDB="$<TARGET_FILE:make-mdb>">)
add_dependencies(toverak_posix_tests toverak toverak-check)
gtest_discover_tests(toverak_posix_tests PROPERTIES LABELS integration DISCOVERY_TIMEOUT 60)

include(cmake/benchmark.cmake)
