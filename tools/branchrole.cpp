// A branch's login role on a chain's central server. The role's name cannot be a bound value in
// CREATE ROLE and GRANT: it must be a plain name, and the server quotes it (quote_ident) before it
// becomes part of a statement. The password never passes through here.

#include "branchrole.h"

#include "ordovantdb.h"
#include "serversession.h"

#include <QRegularExpression>

namespace {

const QString GroupRole = QStringLiteral("ordovant_filiale");

// Row-level security binds neither a superuser nor a BYPASSRLS role nor a table's owner, and a
// CREATEROLE role can make itself a member of any of them; a member of such a role (directly or not)
// can act as it. The role and every role it is a member of.
void refuseUnbound(ServerSession &session, const QString &role)
{
    QSqlQuery query = session.run(
        QStringLiteral(
            "SELECT r.rolname, r.rolsuper, r.rolbypassrls, r.rolcreaterole, "
            "(SELECT string_agg(c.relname, ', ' ORDER BY c.relname) FROM pg_class c WHERE c.relowner = r.oid "
            "AND c.oid IN (SELECT to_regclass(t) FROM unnest(ARRAY['absortieraufgabe', 'beleg', "
            "'einstellung', 'filialrolle']) t)) "
            "FROM pg_roles r WHERE pg_has_role(CAST(? AS name), r.oid, 'MEMBER') "
            "ORDER BY r.rolname <> CAST(? AS name), r.rolname"),
        {role, role}, "looking for the role's rights");
    while (query.next()) {
        const QString holder = query.value(0).toString();
        QString right;
        if (query.value(1).toBool())
            right = QStringLiteral("is a superuser");
        else if (query.value(2).toBool())
            right = QStringLiteral("has BYPASSRLS");
        else if (query.value(3).toBool())
            right = QStringLiteral("has CREATEROLE (it can make itself a member of any role)");
        else if (!query.value(4).isNull())
            right = QStringLiteral("owns the table %1").arg(query.value(4).toString());
        if (right.isEmpty())
            continue;
        const QString who = holder == role
                                ? QStringLiteral("\"%1\"").arg(role)
                                : QStringLiteral("\"%1\" is a member of \"%2\", which").arg(role, holder);
        throw ToolError(
            QStringLiteral("%1 %2, so row-level security would not keep it to one branch; a branch "
                           "role must be a plain login role")
                .arg(who, right));
    }
}

} // namespace

bool isPlainRoleName(const QString &role)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return plain.match(role).hasMatch();
}

QString addBranchRole(const BranchDatabaseSettings &server, const QString &role, qint32 filiale, bool move)
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
    const bool exists = session
                            .value(QStringLiteral("SELECT EXISTS (SELECT FROM pg_roles WHERE rolname = ?)"),
                                   "looking for the role", {role})
                            .toBool();
    if (exists)
        refuseUnbound(session, role);
    const QVariant branch =
        session.value(QStringLiteral("SELECT (SELECT filiale FROM filialrolle WHERE rolle = ?)"),
                      "looking for the role's branch", {role});
    const bool moving = !branch.isNull() && branch.toInt() != filiale;
    if (moving && !move)
        throw ToolError(
            QStringLiteral("\"%1\" is the role of branch %2 already; to make it the role of branch %3 "
                           "instead (its workstations then see branch %3's rows and no longer "
                           "branch %2's), add --move-branch")
                .arg(role)
                .arg(branch.toInt())
                .arg(filiale));
    const QString quoted =
        session.value(QStringLiteral("SELECT quote_ident(?)"), "quoting the role's name", {role}).toString();
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
    const QString moved =
        moving ? QStringLiteral("role %1 moved from branch %2 to branch %3: its workstations now "
                                "see branch %3's rows, no longer branch %2's.\n")
                     .arg(role)
                     .arg(branch.toInt())
                     .arg(filiale)
               : QString();
    session.commit();
    const QString database = server.name.isEmpty() ? QStringLiteral("DATABASE") : server.name;
    return moved +
           QStringLiteral(
               "role %1 of branch %2 %3 a member of %4.\n"
               "Set its password as the administrator (this tool never takes one), for example\n"
               "  psql -d %5 -c '\\password %1'\n"
               "then put it into the password file (~/.pgpass) of each workstation of branch %2, name\n"
               "the role in their host.ini (Benutzer=%1) and let it in through pg_hba.conf.\n")
               .arg(role)
               .arg(filiale)
               .arg(exists ? QStringLiteral("is now") : QStringLiteral("was created as"), GroupRole,
                    database);
}
