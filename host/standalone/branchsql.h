#pragma once

#include <QString>

// The statements of the checks and of the settings table, one text for every driver: standard SQL
// with bound values. The expiry is worked out against the bound business date; date() reads the
// ISO text of a SQLite file and is a plain cast on a server's date column.
namespace BranchSql {

inline const QString CountOpenTasks =
    QStringLiteral("SELECT gv, herkunft, COUNT(*) FROM absortieraufgabe "
                   "WHERE filiale = ? AND erledigt = 0 GROUP BY gv, herkunft");

inline const QString HasOpenTask = QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM absortieraufgabe "
                                                  "WHERE filiale = ? AND erledigt = 0 LIMIT 1) AS offen");

// Followed by one placeholder per document kind and a closing parenthesis.
inline const QString OpenBelegeOfKinds =
    QStringLiteral("SELECT art, CASE WHEN ablaufdatum IS NULL THEN 0 ELSE 1 END, "
                   "CASE WHEN date(ablaufdatum) < date(?) THEN 1 ELSE 0 END FROM beleg "
                   "WHERE filiale = ? AND erledigt = 0 AND art IN (");

inline const QString ReadSetting = QStringLiteral("SELECT wert FROM einstellung WHERE schluessel = ?");

// One statement, so that workstations saving at the same moment cannot lose a value.
inline const QString WriteSetting =
    QStringLiteral("INSERT INTO einstellung (schluessel, wert) VALUES (?, ?) "
                   "ON CONFLICT (schluessel) DO UPDATE SET wert = excluded.wert");

// The server's limit for each statement, in milliseconds.
inline const QString SetStatementTimeout = QStringLiteral("SELECT set_config('statement_timeout', ?, false)");

} // namespace BranchSql
