# The programs: the restore tool and the pre-flight check of a backup, each the default
# platform wired to the core.
add_library(toverak_check STATIC app/backup_check.cc app/check_platform.cc)
target_link_libraries(toverak_check PUBLIC toverak_core)

if(WIN32)
  # A GUI program (WinMain): no console and no window. The shipped build is 32-bit, since the
  # Jet 4.0 provider exists only for 32-bit processes.
  add_executable(toverak WIN32 app/toverak_winmain.cc app/toverak_run.cc)
else()
  add_executable(toverak app/toverak_main.cc app/toverak_run.cc)
endif()
target_link_libraries(toverak PRIVATE toverak_platform)

# A console program on every platform: it prints its report.
add_executable(toverak-check app/toverak_check_main.cc)
target_link_libraries(toverak-check PRIVATE toverak_check toverak_platform)
