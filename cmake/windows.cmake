# The Windows platform: ADO over COM, advapi32 and Win32, cross-compiled with mingw-w64. Every
# executable carries its runtime, so that the one file runs on a bare Windows machine.
add_link_options(-static -static-libgcc -static-libstdc++)
# GCC 12 reports overlapping copies inside std::string's own insert when it inlines it for
# 32-bit targets (a false positive of -Wrestrict); the code it points at is the library's.
add_compile_options(-Wno-restrict)
target_compile_options(toverak_core PRIVATE -Wno-restrict)

toverak_sources(windows_sources platform/windows)
list(FILTER windows_sources EXCLUDE REGEX "/(main_windows|test_[a-z_]+)\\.cc$")
add_library(toverak_windows STATIC ${windows_sources})
target_link_libraries(toverak_windows PUBLIC toverak_core ole32 oleaut32 advapi32 user32)

# A GUI program (WinMain, no console); the shipped build is 32-bit, since the Jet 4.0 provider
# exists only for 32-bit processes.
add_executable(toverak WIN32 platform/windows/main_windows.cc)
target_link_libraries(toverak PRIVATE toverak_windows)

if(TOVERAK_TESTS)
  # GoogleTest from Debian's sources, built with this compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(gtest_target gtest gtest_main gmock gmock_main)
    target_compile_options(${gtest_target} PRIVATE -w)
  endforeach()

  toverak_sources(fake_sources platform/fake)
  add_library(toverak_fakes STATIC ${fake_sources})
  target_link_libraries(toverak_fakes PUBLIC toverak_core)

  # The logic against the fakes, as the Windows build runs it.
  toverak_tests(unit_tests platform driver runlog services restore platform/fake)
  add_executable(toverak_unit_tests ${unit_tests})
  target_link_libraries(toverak_unit_tests PRIVATE toverak_fakes gmock gtest_main)

  # The Windows implementations against the real system (Wine in CI), with a minimal service
  # for the service manager to start and stop.
  add_executable(toverak_test_service platform/windows/test_service_main.cc)
  toverak_tests(windows_tests platform/windows)
  file(GLOB windows_test_support CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/platform/windows/test_support*.cc)
  add_executable(toverak_windows_tests ${windows_tests} ${windows_test_support})
  target_link_libraries(toverak_windows_tests PRIVATE toverak_windows toverak_fakes odbc32 gmock
                        gtest_main)
  add_dependencies(toverak_windows_tests toverak toverak_test_service)
endif()
