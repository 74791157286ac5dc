#pragma once

#include <QString>

// Every statement of the checks and of the settings table, with bound values only. One text serves
// every server where standard SQL has the form (EXISTS instead of LIMIT, the expiry compared with the
// bound business date, the settings write as UPDATE and INSERT); a driver that needs a form of its
// own has it here, beside the others.
namespace BranchSql {

inline const QString CountOpenTasks =
    QStringLiteral("SELECT gv, herkunft, COUNT(*) FROM absortieraufgabe "
                   "WHERE filiale = ? AND erledigt = 0 GROUP BY gv, herkunft");

inline const QString HasOpenTask =
    QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM absortieraufgabe "
                   "WHERE filiale = ? AND erledigt = 0) THEN 1 ELSE 0 END");

// Followed by one placeholder per document kind and a closing parenthesis. A server keeps the expiry
// as a date and compares it with the bound business date.
inline const QString OpenBelegeOfKinds =
    QStringLiteral("SELECT art, CASE WHEN ablaufdatum IS NULL THEN 0 ELSE 1 END, "
                   "CASE WHEN ablaufdatum < ? THEN 1 ELSE 0 END FROM beleg "
                   "WHERE filiale = ? AND erledigt = 0 AND art IN (");

// SQLite keeps the expiry as ISO text: date() turns text that is no date into NULL, which never
// expires, where a plain text comparison would expire "1x" and not "2026-3-1".
inline const QString OpenBelegeOfKindsSqlite =
    QStringLiteral("SELECT art, CASE WHEN ablaufdatum IS NULL THEN 0 ELSE 1 END, "
                   "CASE WHEN date(ablaufdatum) < ? THEN 1 ELSE 0 END FROM beleg "
                   "WHERE filiale = ? AND erledigt = 0 AND art IN (");

inline const QString ReadSetting =
    QStringLiteral("SELECT wert FROM einstellung WHERE filiale = ? AND schluessel = ?");

// The settings write: UPDATE, and INSERT when it touched no row. An INSERT that another workstation
// got in first fails on the key; the writer then runs the UPDATE again (ServerBranch::writeSetting).
inline const QString UpdateSetting =
    QStringLiteral("UPDATE einstellung SET wert = ? WHERE filiale = ? AND schluessel = ?");
inline const QString InsertSetting =
    QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES (?, ?, ?)");

// PostgreSQL: the limit of the statements of one transaction, in milliseconds; true makes it local to
// the transaction, so that nothing stays on a connection that a pooler hands on.
inline const QString SetLocalStatementTimeout =
    QStringLiteral("SELECT set_config('statement_timeout', ?, true)");

// MariaDB: the limit of one statement, put before it. The server takes no placeholder there; the
// number is the program's own (Zeitlimit, 1 to 3600 seconds), never text from outside.
inline QString limitedOnMariaDb(const QString &sql, int timeoutSeconds)
{
    return QStringLiteral("SET STATEMENT max_statement_time=%1 FOR ").arg(timeoutSeconds) + sql;
}

} // namespace BranchSql
