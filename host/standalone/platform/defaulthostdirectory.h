#pragma once

#include <QString>

// The host directory when ORDOVANT_HOME is unset. On Linux a user's own one
// (~/.local/share/ordovant) when it holds a host.ini, else the installed one when that holds a
// host.ini, else the user's own, created when missing. On Windows the installed one: the choice
// belongs to the workstation, not to a user's profile that roams to other machines.
QString defaultHostDirectory();

// The installed layout keeps apart what the administrator decides and what users write. Its
// administrators' folder, for host.ini: /etc/ordovant, %ProgramData%\ordovant.
QString systemHostDirectory();
// Its users' folder, for the settings store and the log: /var/lib/ordovant,
// %ProgramData%\ordovant\daten.
QString systemDataDirectory();
