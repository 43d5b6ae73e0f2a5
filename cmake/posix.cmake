# The POSIX platform: Access files through libmdb, the live database through unixODBC,
# services through systemd's D-Bus API.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)

toverak_sources(posix_sources platform/posix platform/posix/access platform/posix/odbc
                platform/posix/systemd)
add_library(toverak_platform STATIC ${posix_sources})
target_link_libraries(toverak_platform PUBLIC toverak_core PkgConfig::LIBMDB PkgConfig::ODBC
                      PkgConfig::SYSTEMD)
