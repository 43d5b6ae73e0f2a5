# What operators install, every part of it taking its version from project(): the version that
# toverak-check prints; on Windows the programs' version information and manifest and a ZIP of
# them; on POSIX the install rules (the two programs, their man pages, the documentation and the
# systemd examples) and a Debian package of them. Only the two programs are installed, never a
# test target.
include(GNUInstallDirs)

set(TOVERAK_COPYRIGHT "Copyright (c) 2026 the Toverak developers")
set(toverak_generated ${PROJECT_BINARY_DIR}/generated)

configure_file(${PROJECT_SOURCE_DIR}/packaging/version.h.in ${toverak_generated}/app/version.h
               @ONLY)
target_include_directories(toverak-check PRIVATE ${toverak_generated})

# Writes SOURCE with CR LF lines as OUTPUT, for the Notepad of older Windows.
function(toverak_crlf_copy source output)
  file(READ ${PROJECT_SOURCE_DIR}/${source} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${output} "${text}")
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/${source})
endfunction()

# Compiles TARGET's VERSIONINFO (with DESCRIPTION) and the application manifest into it.
function(toverak_windows_resources target description)
  set(TOVERAK_RC_NAME ${target})
  set(TOVERAK_RC_DESCRIPTION ${description})
  set(TOVERAK_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/toverak.manifest)
  set(rc ${toverak_generated}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${TOVERAK_MANIFEST})
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Gzips the man page PAGE (toverak.8) made by scdoc from packaging/man/PAGE.scd.in and installs it.
function(toverak_man_page page)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.scd.in
                 ${toverak_generated}/man/${page}.scd @ONLY)
  set(output ${toverak_generated}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh -c "'${TOVERAK_SCDOC}' <'${page}.scd' | gzip -9n >'${page}.gz'"
    WORKING_DIRECTORY ${toverak_generated}/man
    DEPENDS ${toverak_generated}/man/${page}.scd
    VERBATIM)
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  set(toverak_man_pages ${toverak_man_pages} ${output} PARENT_SCOPE)
endfunction()

set(CPACK_PACKAGE_NAME toverak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Toverak developers")
set(CPACK_PACKAGE_CONTACT "The Toverak developers <toverak@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended restore of the Narvel configuration")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Toverak puts the configuration of the Narvel network-management product\n"
       "back from a dated Access backup: it stops the product's services, restores\n"
       "13 configuration tables into the live SQL database and starts the services\n"
       "again, showing nothing and asking nothing. toverak-check tells beforehand\n"
       "whether a restore from a backup would get through it.")

if(WIN32)
  enable_language(RC)
  toverak_windows_resources(toverak "Restores the Narvel configuration from a dated backup")
  toverak_windows_resources(toverak-check "Checks a Narvel backup before a restore")

  toverak_crlf_copy(README.md ${toverak_generated}/README.txt)
  toverak_crlf_copy(LICENSE ${toverak_generated}/LICENSE.txt)
  install(TARGETS toverak toverak-check RUNTIME DESTINATION .)
  install(FILES ${toverak_generated}/README.txt ${toverak_generated}/LICENSE.txt DESTINATION .)

  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME toverak-${PROJECT_VERSION}-win32)
  else()
    set(CPACK_PACKAGE_FILE_NAME toverak-${PROJECT_VERSION}-win64)
  endif()
  set(CPACK_GENERATOR ZIP)
  # The files at the top of the ZIP, to be unpacked straight into the product's folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS toverak DESTINATION ${CMAKE_INSTALL_SBINDIR})
  install(TARGETS toverak-check DESTINATION ${CMAKE_INSTALL_BINDIR})

  find_program(TOVERAK_SCDOC scdoc REQUIRED)
  set(toverak_man_pages)
  toverak_man_page(toverak.8)
  toverak_man_page(toverak-check.1)

  string(TIMESTAMP TOVERAK_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
                 ${toverak_generated}/doc/changelog @ONLY)
  add_custom_command(
    OUTPUT ${toverak_generated}/doc/changelog.gz
    COMMAND gzip -9nkf changelog
    WORKING_DIRECTORY ${toverak_generated}/doc
    DEPENDS ${toverak_generated}/doc/changelog
    VERBATIM)
  add_custom_target(toverak_docs ALL DEPENDS ${toverak_man_pages}
                                             ${toverak_generated}/doc/changelog.gz)

  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${toverak_generated}/doc/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/examples/narvel-restore.service
                ${PROJECT_SOURCE_DIR}/packaging/examples/narvel-restore.timer
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The drivers of the live databases that Toverak reaches through ODBC.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-postgresql, tdsodbc, odbc-mariadb")
  set(CPACK_STRIP_FILES ON)
endif()

set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(PROJECT_IS_TOP_LEVEL)
  include(CPack)
endif()
