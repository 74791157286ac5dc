#pragma once

#include <QString>

// The host directory when ORDOVANT_HOME is unset; created when missing. On Windows it is machine-wide,
// because the choice belongs to the workstation, not to a user's profile that roams to other machines.
QString defaultHostDirectory();
