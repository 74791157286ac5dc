# Documentation, manual pages and the Debian package (CPack DEB; scripts/package.sh drives it).
include(GNUInstallDirs)

find_program(GZIP_EXECUTABLE gzip REQUIRED)

# Debian wants manual pages and the changelog compressed with gzip -9n (no name, no time stamp).
set(ordovant_gzipped "")
foreach(pair IN ITEMS "doc/man/ordovant.1|ordovant.1.gz" "doc/man/ordovant-db.1|ordovant-db.1.gz"
                      "doc/changelog.Debian|changelog.Debian.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 output)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
        COMMAND ${GZIP_EXECUTABLE} -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${PROJECT_BINARY_DIR}/doc/${output}
        DEPENDS ${PROJECT_SOURCE_DIR}/${source}
        VERBATIM)
    list(APPEND ordovant_gzipped ${PROJECT_BINARY_DIR}/doc/${output})
endforeach()
add_custom_target(ordovant-doc ALL DEPENDS ${ordovant_gzipped})

install(FILES ${PROJECT_BINARY_DIR}/doc/ordovant.1.gz ${PROJECT_BINARY_DIR}/doc/ordovant-db.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The administrator's README, not the source's: it and the manuals link only to each other and to the
# sample, so every link works where they are installed (tests/package/test-package.sh checks it).
install(FILES doc/README.md doc/host-ini.md doc/servers.md doc/windows.md doc/host.ini.example doc/copyright
              schema/postgresql.sql schema/central-server.sql schema/migrate-einstellung-filiale.sql
              schema/mariadb.sql
              ${PROJECT_BINARY_DIR}/doc/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The installed layout keeps apart what the administrator decides and what users write: host.ini in
# /etc/ordovant, which only root may change, and the settings store and the log in /var/lib/ordovant,
# which the workstation's users (group ordovant) may write. The program looks for both there, so only
# an install into /usr (the package's) makes them; postinst gives the users' folder its group and mode.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    install(DIRECTORY DESTINATION /etc/ordovant)
    install(DIRECTORY DESTINATION /var/lib/ordovant)
endif()

# The package version follows the project; the changelog must name the same one.
set(ordovant_deb_revision 1)
file(STRINGS doc/changelog.Debian ordovant_changelog_top LIMIT_COUNT 1)
if(NOT ordovant_changelog_top MATCHES "^ordovant \\(${PROJECT_VERSION}-${ordovant_deb_revision}\\) ")
    message(FATAL_ERROR "doc/changelog.Debian does not start with version ${PROJECT_VERSION}-${ordovant_deb_revision}")
endif()

# The autostart entry is the one file an administrator may edit; dpkg keeps such edits on upgrade.
file(WRITE ${PROJECT_BINARY_DIR}/package/conffiles
     "${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart/ordovant.desktop\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ordovant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ordovant developers <ordovant@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "checker for waiting work at retail branch workstations")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ordovant runs once when a desktop session starts at a workstation of a retail\n"
    "branch and answers one question: is there work waiting that the staff should\n"
    "do now? It counts the branch's open sort-out tasks; when there are any, it has\n"
    "the branch program print them and shows one notice with the counts. With a\n"
    "switch it looks for expired reservations and selections instead, or opens a\n"
    "dialog choosing what the notice counts. When nothing is found, it ends at once\n"
    "without a window.\n"
    "\n"
    "The branch data comes from an SQLite file, a PostgreSQL branch server or an\n"
    "SQL server reached through ODBC. The package also holds ordovant-db, which\n"
    "creates branch databases and fills a branch server's tables.")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ordovant_deb_revision})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its SQL drivers as plugins, and the program loads libpq only when it reaches a PostgreSQL
# server, so dpkg-shlibdeps sees neither; only a branch server needs libpq (the program) and the psql
# plugin (ordovant-db). adduser: postinst makes the group ordovant.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libpq5 (>= 14), libqt6sql6-psql")
# Treiber=QODBC is the rarer route and needs a data source set up by hand besides.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS libqt6sql6-odbc)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package/conffiles
    ${PROJECT_SOURCE_DIR}/scripts/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Install with DESTDIR, so an absolute /etc lands in the package and never on the building machine.
set(CPACK_SET_DESTDIR ON)
include(CPack)
