# What ordovant.exe and ordovant-db.exe need beside them on a workstation: Qt's DLLs and the plugins
# they load, the one sqlite3.dll and the mingw runtime, all from the Windows SDK that scripts/windows-sdk.sh
# builds. `cmake --install` into a folder gives the tree that the MSI installs.
set(sdk_bin "${QT6_INSTALL_PREFIX}/bin")
set(sdk_plugins "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")
install(FILES
    "${sdk_bin}/Qt6Core.dll" "${sdk_bin}/Qt6Gui.dll" "${sdk_bin}/Qt6Widgets.dll" "${sdk_bin}/Qt6Sql.dll"
    "${sdk_bin}/sqlite3.dll" "${sdk_bin}/libstdc++-6.dll" "${sdk_bin}/libgcc_s_seh-1.dll"
    "${sdk_bin}/libwinpthread-1.dll"
    DESTINATION .)
install(FILES "${sdk_plugins}/platforms/qwindows.dll" DESTINATION platforms)
install(FILES "${sdk_plugins}/styles/qwindowsvistastyle.dll" DESTINATION styles)
install(FILES "${sdk_plugins}/sqldrivers/qsqlite.dll" "${sdk_plugins}/sqldrivers/qsqlodbc.dll" DESTINATION sqldrivers)
file(GLOB ordovant_schemas "${PROJECT_SOURCE_DIR}/schema/*.sql")
# The administrator's README and the manuals it links to (scripts/windows/test-deliverables.sh checks
# that every link stays among the installed files).
install(FILES doc/README.md doc/host-ini.md doc/servers.md doc/windows.md ${ordovant_schemas} DESTINATION doc)
# The Windows sample: ODBC and the Windows paths, no libpq.
install(FILES doc/host-windows.ini.example DESTINATION doc RENAME host.ini.example)
