// A branch's login role on a chain's central server. The role's name cannot be a bound value in
// CREATE ROLE and GRANT: it must be a plain name, and the server quotes it (quote_ident) before it
// becomes part of a statement. The password never passes through here.

#include "branchrole.h"

#include "ordovantdb.h"
#include "serversession.h"

#include <QRegularExpression>

namespace {

const QString GroupRole = QStringLiteral("ordovant_filiale");

} // namespace

bool isPlainRoleName(const QString &role)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return plain.match(role).hasMatch();
}

QString addBranchRole(const BranchDatabaseSettings &server, const QString &role, qint32 filiale)
{
    if (!isPlainRoleName(role) || role == GroupRole || role.startsWith(QLatin1String("pg_")))
        throw UsageError(QStringLiteral("add-branch-role: \"%1\" is no name for a branch role (lower-case "
                                        "letters, digits and _, not pg_..., not %2)")
                             .arg(role, GroupRole)
                             .toStdString());
    // The program refuses a branch number outside 16 bits.
    if (filiale > 32767)
        throw UsageError("add-branch-role: --filiale must be 1..32767");
    ServerSession session(server);
    session.begin();
    if (!session
             .value(QStringLiteral("SELECT to_regclass('filialrolle') IS NOT NULL AND EXISTS "
                                   "(SELECT FROM pg_roles WHERE rolname = ?)"),
                    "looking for the central server's schema", {GroupRole})
             .toBool())
        throw ToolError(QStringLiteral("the table filialrolle or the role %1 is missing; load "
                                       "schema/central-server.sql into the database first")
                            .arg(GroupRole));
    const QVariant superuser = session.value(
        QStringLiteral("SELECT COALESCE((SELECT rolsuper FROM pg_roles WHERE rolname = ?), false)"),
        "looking for the role", {role});
    if (superuser.toBool())
        throw ToolError(
            QStringLiteral("\"%1\" is a superuser, which row-level security does not bind").arg(role));
    const QString quoted =
        session.value(QStringLiteral("SELECT quote_ident(?)"), "quoting the role's name", {role}).toString();
    const bool exists = session
                            .value(QStringLiteral("SELECT EXISTS (SELECT FROM pg_roles WHERE rolname = ?)"),
                                   "looking for the role", {role})
                            .toBool();
    if (!exists)
        session.execute(QStringLiteral("CREATE ROLE %1 LOGIN").arg(quoted), "creating the role");
    const bool member =
        session
            .value(QStringLiteral("SELECT EXISTS (SELECT FROM pg_auth_members m "
                                  "JOIN pg_roles r ON r.oid = m.member JOIN pg_roles g ON g.oid = m.roleid "
                                  "WHERE r.rolname = ? AND g.rolname = ?)"),
                   "looking for the membership", {role, GroupRole})
            .toBool();
    if (!member)
        session.execute(QStringLiteral("GRANT %1 TO %2").arg(GroupRole, quoted), "granting the group role");
    session.run(QStringLiteral("INSERT INTO filialrolle (rolle, filiale) VALUES (?, ?) "
                               "ON CONFLICT (rolle) DO UPDATE SET filiale = excluded.filiale"),
                {role, filiale}, "recording the role's branch");
    session.commit();
    const QString database = server.name.isEmpty() ? QStringLiteral("DATABASE") : server.name;
    return QStringLiteral(
               "role %1 of branch %2 %3 a member of %4.\n"
               "Set its password as the administrator (this tool never takes one), for example\n"
               "  psql -d %5 -c '\\password %1'\n"
               "then put it into the password file (~/.pgpass) of each workstation of branch %2, name\n"
               "the role in their host.ini (Benutzer=%1) and let it in through pg_hba.conf.\n")
        .arg(role)
        .arg(filiale)
        .arg(exists ? QStringLiteral("is now") : QStringLiteral("was created as"), GroupRole, database);
}
