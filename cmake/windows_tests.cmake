# The Windows implementations against the real system (Wine in CI), with a minimal service for
# the service manager to start and stop, and the whole programs of this build.
add_executable(toverak_test_service testing/windows/test_service_main.cc)

toverak_tests(windows_tests platform/windows tests/windows)
add_executable(toverak_windows_tests ${windows_tests} testing/temp_folder.cc
               testing/windows/test_support.cc)
target_link_libraries(toverak_windows_tests PRIVATE toverak_platform toverak_fakes odbc32
                      GTest::gmock GTest::gtest_main)
add_dependencies(toverak_windows_tests toverak toverak-check toverak_test_service)
