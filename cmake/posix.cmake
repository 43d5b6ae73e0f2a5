# The POSIX platform: Access files through libmdb, the live database through unixODBC,
# services through systemd's D-Bus API.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)

toverak_sources(posix_sources platform/posix platform/posix/access platform/posix/odbc
                platform/posix/systemd)
list(FILTER posix_sources EXCLUDE REGEX "main_posix\\.cc$")
add_library(toverak_posix STATIC ${posix_sources})
target_link_libraries(toverak_posix PUBLIC toverak_core PkgConfig::LIBMDB PkgConfig::ODBC
                      PkgConfig::SYSTEMD)

add_executable(toverak platform/posix/main_posix.cc)
target_link_libraries(toverak PRIVATE toverak_posix)

add_executable(toverak-check platform/posix/check_main_posix.cc)
target_link_libraries(toverak-check PRIVATE toverak_posix)
