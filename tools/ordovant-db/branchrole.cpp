// A branch's login role on a chain's central server. The role's name cannot be a bound value in
// CREATE ROLE and GRANT: it must be a plain name, and the server quotes it (quote_ident) before it
// becomes part of a statement. The password never passes through here.

#include "branchrole.h"

#include "ordovantdb.h"
#include "serversession.h"

#include <QHash>
#include <QRegularExpression>

#include <vector>

namespace {

const QString GroupRole = QStringLiteral("ordovant_filiale");
// So many owned objects are named; the rest are counted.
constexpr qsizetype NamedObjects = 5;

// Row-level security binds neither a superuser nor a BYPASSRLS role nor an owner; a CREATEROLE role
// can make itself a member of anything, a CREATEDB one owns what it makes, a REPLICATION one streams
// every row; the owner of the database or of schema public can replace filialrolle or
// ordovant_filiale(); pg_read_server_files and its kind read the data files or run programs as the
// server. So the rule is what is allowed, not what is known to be bad: every true attribute but these
// two, every membership but the group, and everything owned is a way out. A membership counts whatever
// its options: a NOINHERIT member can still SET ROLE.
const QString EscapesSql = QStringLiteral(
    "WITH r AS (SELECT * FROM pg_roles WHERE rolname = CAST(? AS name)) "
    "SELECT 1, j.key FROM r, jsonb_each(to_jsonb(r)) j WHERE jsonb_typeof(j.value) = 'boolean' "
    "AND j.value = 'true' AND j.key NOT IN ('rolcanlogin', 'rolinherit') "
    "UNION ALL "
    "SELECT 2, g.rolname FROM r JOIN pg_auth_members m ON m.member = r.oid "
    "JOIN pg_roles g ON g.oid = m.roleid WHERE g.rolname <> CAST(? AS name) "
    "UNION ALL "
    "SELECT DISTINCT 3, coalesce(o.what, 'an object') FROM r, LATERAL ("
    "SELECT pg_describe_object(CAST('pg_database' AS regclass), d.oid, 0) FROM pg_database d "
    "WHERE d.datdba = r.oid "
    "UNION ALL SELECT pg_describe_object(CAST('pg_namespace' AS regclass), n.oid, 0) FROM pg_namespace n "
    "WHERE n.nspowner = r.oid "
    "UNION ALL SELECT pg_describe_object(CAST('pg_class' AS regclass), c.oid, 0) FROM pg_class c "
    "WHERE c.relowner = r.oid AND c.relkind NOT IN ('i', 'I', 't') "
    "UNION ALL SELECT pg_describe_object(CAST('pg_proc' AS regclass), p.oid, 0) FROM pg_proc p "
    "WHERE p.proowner = r.oid "
    "UNION ALL SELECT pg_describe_object(CAST('pg_type' AS regclass), t.oid, 0) FROM pg_type t "
    "WHERE t.typowner = r.oid AND t.typrelid = 0 AND NOT EXISTS (SELECT FROM pg_type e WHERE e.typarray = "
    "t.oid) "
    // Everything else a role owns, in this database, in another or in the cluster.
    "UNION ALL SELECT CASE WHEN s.dbid = 0 OR s.dbid = (SELECT oid FROM pg_database "
    "WHERE datname = current_database()) THEN pg_describe_object(s.classid, s.objid, s.objsubid) "
    "ELSE 'objects in database ' || quote_ident((SELECT datname FROM pg_database WHERE oid = s.dbid)) END "
    "FROM pg_shdepend s WHERE s.refclassid = CAST('pg_authid' AS regclass) AND s.refobjid = r.oid "
    "AND s.deptype = 'o') o(what) "
    // A permissive policy of its own is added to the group's: the policies name the group alone.
    "UNION ALL "
    "SELECT 4, pg_describe_object(s.classid, s.objid, s.objsubid) FROM r JOIN pg_shdepend s "
    "ON s.refclassid = CAST('pg_authid' AS regclass) AND s.refobjid = r.oid AND s.deptype = 'r' "
    "AND s.dbid = (SELECT oid FROM pg_database WHERE datname = current_database()) "
    "WHERE r.rolname <> CAST(? AS name) "
    "ORDER BY 1, 2");

const QString NoName = QStringLiteral("lower-case letters, digits and _, not pg_..., not ordovant_filiale");

// A name or a catalogue text on one line: a newline in it could forge a line of the report.
QString printable(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            result += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

QString shown(const QString &role)
{
    return QStringLiteral("\"%1\"").arg(printable(role));
}

QString attribute(const QString &column)
{
    static const QHash<QString, QString> keywords{
        {QStringLiteral("rolsuper"), QStringLiteral("SUPERUSER")},
        {QStringLiteral("rolcreaterole"), QStringLiteral("CREATEROLE")},
        {QStringLiteral("rolcreatedb"), QStringLiteral("CREATEDB")},
        {QStringLiteral("rolreplication"), QStringLiteral("REPLICATION")},
        {QStringLiteral("rolbypassrls"), QStringLiteral("BYPASSRLS")},
    };
    return keywords.value(column, column);
}

QString owned(const QStringList &objects)
{
    QStringList named = objects.mid(0, NamedObjects);
    if (objects.size() > NamedObjects)
        named << QStringLiteral("and %1 more").arg(objects.size() - NamedObjects);
    return QStringLiteral("owns %1").arg(printable(named.join(QStringLiteral(", "))));
}

void requireCentralSchema(ServerSession &session)
{
    if (!session
             .value(QStringLiteral("SELECT to_regclass('filialrolle') IS NOT NULL AND EXISTS "
                                   "(SELECT FROM pg_roles WHERE rolname = ?)"),
                    "looking for the central server's schema", {GroupRole})
             .toBool())
        throw ToolError(QStringLiteral("the table filialrolle or the role %1 is missing; load "
                                       "schema/central-server.sql into the database first")
                            .arg(GroupRole));
}

// The group's ways out concern every branch role; refused or reported before any one role's.
QString groupEscapes(ServerSession &session)
{
    const QStringList escapes = branchRoleEscapes(session, GroupRole);
    if (escapes.isEmpty())
        return {};
    return QStringLiteral("%1, the group of every branch role, %2")
        .arg(GroupRole, escapes.join(QStringLiteral("; ")));
}

} // namespace

bool isPlainRoleName(const QString &role)
{
    // Whole: "$" alone would let a final newline through.
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-z_][a-z0-9_]{0,62}")));
    return plain.match(role).hasMatch();
}

bool isBranchRoleName(const QString &role)
{
    return isPlainRoleName(role) && role != GroupRole && !role.startsWith(QLatin1String("pg_"));
}

QStringList branchRoleEscapes(ServerSession &session, const QString &role)
{
    QSqlQuery query =
        session.run(EscapesSql, {role, GroupRole, GroupRole}, "looking for what the role may do");
    QStringList escapes;
    QStringList objects;
    while (query.next()) {
        const QString what = query.value(1).toString();
        switch (query.value(0).toInt()) {
        case 1:
            escapes << QStringLiteral("has %1").arg(attribute(what));
            break;
        case 2:
            escapes << QStringLiteral("is a member of %1").arg(shown(what));
            break;
        case 4:
            escapes << QStringLiteral("is named in %1").arg(printable(what));
            break;
        default:
            objects << what;
        }
    }
    if (!objects.isEmpty())
        escapes << owned(objects);
    return escapes;
}

QString addBranchRole(const BranchDatabaseSettings &server, const QString &role, qint32 filiale, bool move)
{
    if (!isBranchRoleName(role))
        throw UsageError(QStringLiteral("add-branch-role: %1 is no name for a branch role (%2)")
                             .arg(shown(role), NoName)
                             .toStdString());
    // The program refuses a branch number outside 16 bits.
    if (filiale > 32767)
        throw UsageError("add-branch-role: --filiale must be 1..32767");
    ServerSession session(server);
    session.begin();
    requireCentralSchema(session);
    if (const QString group = groupEscapes(session); !group.isEmpty())
        throw ToolError(QStringLiteral("%1, so row-level security would keep no branch role to its branch; "
                                       "take that away first")
                            .arg(group));
    const bool exists = session
                            .value(QStringLiteral("SELECT EXISTS (SELECT FROM pg_roles WHERE rolname = ?)"),
                                   "looking for the role", {role})
                            .toBool();
    if (exists) {
        if (const QStringList escapes = branchRoleEscapes(session, role); !escapes.isEmpty())
            throw ToolError(QStringLiteral("%1 %2, so row-level security would not keep it to one branch; "
                                           "a branch role is a LOGIN role that owns nothing and is a member "
                                           "of %3 alone")
                                .arg(shown(role), escapes.join(QStringLiteral("; ")), GroupRole));
    }
    const QVariant branch =
        session.value(QStringLiteral("SELECT (SELECT filiale FROM filialrolle WHERE rolle = ?)"),
                      "looking for the role's branch", {role});
    const QString before = QString::number(branch.toInt());
    const QString after = QString::number(filiale);
    const bool moving = !branch.isNull() && branch.toInt() != filiale;
    if (moving && !move)
        throw ToolError(
            QStringLiteral("%1 is the role of branch %2 already; to make it the role of branch %3 "
                           "instead (its workstations then see branch %3's rows and no longer "
                           "branch %2's), add --move-branch")
                .arg(shown(role), before, after));
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
                     .arg(role, before, after)
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
               .arg(role, after, exists ? QStringLiteral("is now") : QStringLiteral("was created as"),
                    GroupRole, database);
}

BranchRoleReport checkBranchRoles(const BranchDatabaseSettings &server)
{
    ServerSession session(server);
    session.begin();
    requireCentralSchema(session);
    BranchRoleReport report;
    const QString group = groupEscapes(session);
    report.fine = group.isEmpty();
    report.lines << (group.isEmpty()
                         ? QStringLiteral("%1, the group of every branch role: fine").arg(GroupRole)
                         : group);
    struct Row
    {
        QString role;
        QString branch;
        bool exists = false;
    };
    // Read whole before each role is asked about: one statement at a time on the connection.
    std::vector<Row> rows;
    {
        QSqlQuery query = session.run(
            QStringLiteral(
                "SELECT f.rolle, f.filiale, EXISTS (SELECT FROM pg_roles r WHERE r.rolname = f.rolle) "
                "FROM filialrolle f ORDER BY f.filiale, f.rolle"),
            {}, "reading filialrolle");
        while (query.next())
            rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toBool()});
    }
    qsizetype failed = 0;
    for (const Row &row : rows) {
        QStringList escapes;
        if (!isBranchRoleName(row.role))
            escapes << QStringLiteral("is no name for a branch role (%1)").arg(NoName);
        if (!row.exists)
            escapes << QStringLiteral("no such role: a role made later with this name would see branch %1's "
                                      "rows; delete its row from filialrolle")
                           .arg(row.branch);
        else
            escapes << branchRoleEscapes(session, row.role);
        failed += escapes.isEmpty() ? 0 : 1;
        report.lines << QStringLiteral("%1, branch %2: %3")
                            .arg(shown(row.role), row.branch,
                                 escapes.isEmpty() ? QStringLiteral("fine")
                                                   : escapes.join(QStringLiteral("; ")));
    }
    session.commit();
    report.fine = report.fine && failed == 0;
    report.lines << QStringLiteral("%1 of %2 branch roles fail the check%3")
                        .arg(QString::number(failed), QString::number(rows.size()),
                             group.isEmpty() ? QString() : QStringLiteral(", and so does the group"));
    return report;
}
