#pragma once

#include <QString>
#include <QStringList>

// Every statement of the checks and of the settings table, with bound values only. One text serves
// every server where standard SQL has the form (EXISTS instead of LIMIT, the expiry compared with the
// bound business date, the settings write as UPDATE and INSERT); a driver that needs a form of its
// own has it here, beside the others.
namespace BranchSql {

inline const QString CountOpenTasks =
    QStringLiteral("SELECT gv, herkunft, COUNT(*) FROM absortieraufgabe "
                   "WHERE filiale = ? AND erledigt = 0 GROUP BY gv, herkunft");

inline const QString HasOpenTask = QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM absortieraufgabe "
                                                  "WHERE filiale = ? AND erledigt = 0) THEN 1 ELSE 0 END");

// `count` placeholders, separated by commas.
inline QString placeholders(qsizetype count)
{
    return QStringList(count, QStringLiteral("?")).join(u',');
}

// The open documents of the kinds bound after the business date and the branch, one "?" per kind.
// A document shows nothing in the list but its kind, whether it has an expiry date and whether that
// has passed: a server sends one row per such group with the number of its documents, instead of a
// row per document, and the expired groups first. It keeps the expiry as a date and compares it with
// the bound business date.
inline QString openBelegeOfKinds(qsizetype kinds)
{
    return QStringLiteral("SELECT art, befristet, abgelaufen, COUNT(*) FROM (SELECT art, "
                          "CASE WHEN ablaufdatum IS NULL THEN 0 ELSE 1 END AS befristet, "
                          "CASE WHEN ablaufdatum < ? THEN 1 ELSE 0 END AS abgelaufen FROM beleg "
                          "WHERE filiale = ? AND erledigt = 0 AND art IN (%1)) offen "
                          "GROUP BY art, befristet, abgelaufen ORDER BY abgelaufen DESC")
        .arg(placeholders(kinds));
}

// SQLite reads its rows in the process, a document a row, and keeps the expiry as ISO text: date()
// turns text that is no date into NULL, which never expires, where a plain text comparison would
// expire "1x" and not "2026-3-1".
inline QString openBelegeOfKindsSqlite(qsizetype kinds)
{
    return QStringLiteral("SELECT art, CASE WHEN ablaufdatum IS NULL THEN 0 ELSE 1 END, "
                          "CASE WHEN date(ablaufdatum) < ? THEN 1 ELSE 0 END FROM beleg "
                          "WHERE filiale = ? AND erledigt = 0 AND art IN (%1)")
        .arg(placeholders(kinds));
}

inline const QString ReadSetting =
    QStringLiteral("SELECT wert FROM einstellung WHERE filiale = ? AND schluessel = ?");

// The settings write: UPDATE, and INSERT when it touched no row. An INSERT that another workstation
// got in first fails on the key; the writer then runs the UPDATE again (ServerBranch::writeSetting).
inline const QString UpdateSetting =
    QStringLiteral("UPDATE einstellung SET wert = ? WHERE filiale = ? AND schluessel = ?");
inline const QString InsertSetting =
    QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES (?, ?, ?)");

// PostgreSQL through libpq: the settings write as one statement, so that it costs one round trip.
// The UPDATE and the INSERT that runs when it found no row are the two above, with the same race: an
// INSERT that another workstation got in first fails on the key, and the writer runs it again
// (LibpqBranch::writeSetting). Bound as $1 the branch, $2 the key, $3 the value.
inline const QString WriteSettingPostgres =
    QStringLiteral("WITH geaendert AS (UPDATE einstellung SET wert = $3 WHERE filiale = $1 AND "
                   "schluessel = $2 RETURNING 1) INSERT INTO einstellung (filiale, schluessel, wert) "
                   "SELECT $1, $2, $3 WHERE NOT EXISTS (SELECT 1 FROM geaendert)");

// A statement above with its "?" replaced, in order, by literals that the program formats itself from
// its own numbers and dates, never from text it was given: without values to bind, a driver sends the
// statement at once instead of preparing, running and freeing it.
inline QString filled(const QString &sql, const QStringList &literals)
{
    QString text;
    qsizetype next = 0;
    for (const QChar c : sql) {
        if (c == u'?' && next < literals.size())
            text += literals.at(next++);
        else
            text += c;
    }
    return text;
}

// A statement above with its "?" numbered $1, $2, ... as PostgreSQL's protocol takes them; none of
// them holds a "?" of its own.
inline QByteArray numberedForPostgres(const QString &sql)
{
    QByteArray numbered;
    int n = 0;
    for (const char c : sql.toUtf8()) {
        if (c == '?')
            numbered += '$' + QByteArray::number(++n);
        else
            numbered += c;
    }
    return numbered;
}

// PostgreSQL: the limit of the statements of one transaction, in milliseconds; LOCAL keeps it to the
// transaction, so that nothing stays on a connection that a pooler hands on. Sent as it is: a bound
// value would cost a PREPARE, EXECUTE and DEALLOCATE where this is one round trip, and the number is
// the program's own (Zeitlimit), never text from outside.
inline QString setLocalStatementTimeout(qint64 milliseconds)
{
    return QStringLiteral("SET LOCAL statement_timeout = %1").arg(milliseconds);
}

// MariaDB: the limit of one statement, put before it. The server takes no placeholder there; the
// number is the program's own (Zeitlimit, 1 to 3600 seconds), never text from outside.
inline QString limitedOnMariaDb(const QString &sql, int timeoutSeconds)
{
    return QStringLiteral("SET STATEMENT max_statement_time=%1 FOR ").arg(timeoutSeconds) + sql;
}

} // namespace BranchSql
