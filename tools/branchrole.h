#pragma once

// ordovant-db add-branch-role: the login role of one branch on a chain's central server.

#include "host/standalone/config/hostconfig.h"

#include <QString>

// True for a role name that needs no quoting: lower-case letters, digits and "_", not starting with
// a digit, at most 63 characters.
bool isPlainRoleName(const QString &role);

// In one transaction on a server prepared with schema/central-server.sql: makes the login role when
// it does not exist (without a password), makes it a member of ordovant_filiale and records its
// branch. A role that row-level security does not bind is refused, and so is a role of another branch
// unless `move`. Returns what the administrator does next: set the password. Throws ToolError.
QString addBranchRole(const BranchDatabaseSettings &server, const QString &role, qint32 filiale, bool move);
