#!/usr/bin/env bash
# Runs a program of the Windows build under Wine: CTest's emulator. scripts/windows.sh sets up the
# environment (scripts/windows/wine-env.sh) before it runs ctest.
# Wine keeps the Unix side's QT_ variables from Windows programs; WINEQT_<name> hands one over as QT_<name>.
for name in $(compgen -e); do
    if [[ $name == QT_* ]]; then export "WINE$name=${!name}"; fi
done
exec wine "$@"
