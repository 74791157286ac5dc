#pragma once

// ordovant-db add-branch-role and check-branch-roles: the login roles of the branches on a chain's
// central server.

#include "host/standalone/config/hostconfig.h"

#include <QString>
#include <QStringList>

class ServerSession;

// True for a role name that needs no quoting: lower-case letters, digits and "_", not starting with
// a digit, at most 63 characters, matched whole.
bool isPlainRoleName(const QString &role);

// True for a name a branch role may have: plain, not a predefined pg_... role, not the group itself.
bool isBranchRoleName(const QString &role);

// What would let `role` out of row-level security on the server of `session`, one entry per reason,
// read from the catalogue; empty when nothing does. Known good is: no attribute beyond LOGIN (and
// INHERIT), a member of no role but the group ordovant_filiale, the owner of nothing, named in no
// policy of its own. The group itself is held to the same rule, with no membership at all and its
// policies aside.
QStringList branchRoleEscapes(ServerSession &session, const QString &role);

// In one transaction on a server prepared with schema/central-server.sql: makes the login role when
// it does not exist (without a password), makes it a member of ordovant_filiale and records its
// branch. A role that branchRoleEscapes() finds a way out for is refused, and so is a role of another
// branch unless `move`. Returns what the administrator does next: set the password. Throws ToolError.
QString addBranchRole(const BranchDatabaseSettings &server, const QString &role, qint32 filiale, bool move);

// What check-branch-roles found: one line per role, the group's first.
struct BranchRoleReport
{
    QStringList lines;
    bool fine = true;
};

// Every role of filialrolle, and the group, against the rule of branchRoleEscapes(); a row whose role
// no longer exists fails too (a role made later with that name would get its branch). Throws
// ToolError when the server cannot be asked.
BranchRoleReport checkBranchRoles(const BranchDatabaseSettings &server);
