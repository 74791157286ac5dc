// The branch database on a server: its rows filled, the settings store copied into it. Messages name
// the server and the database (ServerSession), never the connection options; neither libpq nor the
// ODBC driver put a password into their own.

#include "ordovantdb.h"
#include "serversession.h"

#include "host/standalone/branchdb/branchsql.h"
#include "host/standalone/config/textfile.h"
#include "host/standalone/store/inifile.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

const QString SettingsGroup = QStringLiteral("ORDOVANT/DM");
// A round trip per row would take five times as long; a thousand rows of four values stay far below
// the server's limit of 65535 parameters per statement.
constexpr int RowsPerStatement = 1000;

// Inserts rows many at a time with one multi-row statement; its text is made of placeholders only.
class BulkInsert final
{
public:
    BulkInsert(ServerSession &server, const char *head, int columns, const char *what)
        : m_server(server), m_head(QLatin1String(head)), m_columns(columns), m_what(what)
    {
    }

    void add(std::initializer_list<QVariant> row)
    {
        for (const QVariant &value : row)
            m_values.append(value);
        if (++m_rows == RowsPerStatement)
            flush();
    }
    void finish()
    {
        if (m_rows > 0)
            flush();
    }

private:
    QString statement(int rows) const
    {
        QStringList placeholders(m_columns, QStringLiteral("?"));
        const QString row = u'(' + placeholders.join(QStringLiteral(", ")) + u')';
        return m_head + QStringList(rows, row).join(QStringLiteral(", "));
    }
    void flush()
    {
        // The statement for a full batch is prepared once; the last, shorter one has its own.
        std::optional<QSqlQuery> rest;
        if (m_rows == RowsPerStatement && !m_full)
            m_full = m_server.prepare(statement(m_rows));
        else if (m_rows < RowsPerStatement)
            rest = m_server.prepare(statement(m_rows));
        QSqlQuery &query = rest ? *rest : *m_full;
        for (int i = 0; i < m_values.size(); ++i)
            query.bindValue(i, m_values[i]);
        m_server.exec(query, m_what);
        m_values.clear();
        m_rows = 0;
    }

    ServerSession &m_server;
    QString m_head;
    int m_columns;
    const char *m_what;
    QVariantList m_values;
    int m_rows = 0;
    std::optional<QSqlQuery> m_full;
};

} // namespace

void fillServer(const BranchDatabaseSettings &settings, const BranchRows &rows, bool force)
{
    ServerSession server(settings);
    if (!server.runs(QStringLiteral("SELECT 1 FROM absortieraufgabe WHERE 1 = 0")) ||
        !server.runs(QStringLiteral("SELECT 1 FROM beleg WHERE 1 = 0")))
        server.fail(QStringLiteral("the tables absortieraufgabe and beleg are missing; load the schema "
                                   "(schema/postgresql.sql, schema/mariadb.sql) into the database first"));
    server.begin();
    if (force) {
        QSqlQuery remove = server.prepare(QStringLiteral("DELETE FROM absortieraufgabe"));
        server.exec(remove, "deleting the tasks");
        remove = server.prepare(QStringLiteral("DELETE FROM beleg"));
        server.exec(remove, "deleting the documents");
    } else if (server
                   .value(QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM absortieraufgabe) "
                                         "OR EXISTS (SELECT 1 FROM beleg) THEN 1 ELSE 0 END"),
                          "looking for rows")
                   .toInt() != 0) {
        server.fail(QStringLiteral("absortieraufgabe or beleg holds rows; use --force to delete them first"));
    }
    {
        BulkInsert tasks(server, "INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES ", 4,
                         "inserting the tasks");
        rows.forEachTask([&](const Task &t) { tasks.add({t.filiale, t.gv, t.herkunft, t.erledigt}); });
        tasks.finish();
    }
    {
        BulkInsert belege(server, "INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) VALUES ", 4,
                          "inserting the documents");
        for (const BelegRow &b : rows.belege)
            belege.add(
                {b.filiale, b.art,
                 b.ablaufdatum.isNull() ? QVariant(QMetaType::fromType<QDate>()) : QVariant(b.ablaufdatum),
                 b.erledigt});
        belege.finish();
    }
    server.commit();
}

qsizetype copySettings(const QString &store, const BranchDatabaseSettings &settings, qint32 filiale)
{
    // The whole store is read before anything is written: a store that cannot be read writes nothing.
    if (!QFileInfo(store).exists())
        throw ToolError(QStringLiteral("the settings store %1 does not exist").arg(store));
    QList<std::pair<QString, QString>> values;
    QStringList notCopied;
    const QHash<QString, QString> all = IniFile::values(IniFile::read(store), store);
    const QString group = SettingsGroup + u'/';
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (!it.key().startsWith(group))
            continue; // another program's
        // Below the group: written for a terminal id with "/" or "\", which no workstation reads.
        if (TextFile::holdsKeySeparator(QStringView(it.key()).sliced(group.size())))
            notCopied.append(QStringLiteral("%1=%2").arg(it.key(), it.value()));
        else
            values.append({it.key(), it.value()});
    }
    ServerSession server(settings);
    server.begin();
    // The program's own statements: UPDATE, and INSERT where no row was. The tool's one transaction
    // holds the rows it wrote until it ends; a workstation saving at the same moment waits for it.
    QSqlQuery update = server.prepare(BranchSql::UpdateSetting);
    QSqlQuery read = server.prepare(BranchSql::ReadSetting);
    QSqlQuery insert = server.prepare(BranchSql::InsertSetting);
    for (const auto &[key, value] : values) {
        update.addBindValue(server.text(value));
        update.addBindValue(filiale);
        update.addBindValue(server.text(key));
        server.exec(update, "writing the settings");
        if (update.numRowsAffected() > 0)
            continue;
        // A server that counts changed rows only (MariaDB) touches none where the value is there.
        read.addBindValue(filiale);
        read.addBindValue(server.text(key));
        server.exec(read, "reading the settings");
        const bool present = read.next();
        read.finish();
        if (present)
            continue;
        insert.addBindValue(filiale);
        insert.addBindValue(server.text(key));
        insert.addBindValue(server.text(value));
        server.exec(insert, "writing the settings");
    }
    server.commit();
    if (!notCopied.isEmpty()) {
        notCopied.sort();
        for (const QString &value : std::as_const(notCopied))
            std::fprintf(stderr, "ordovant-db: not copied, no workstation reads it: %s\n",
                         qUtf8Printable(value));
        throw ToolError(
            QStringLiteral("copied %1 values into einstellung, %2 not: their keys lie below [%3] "
                           "(a terminal id with / or \\)")
                .arg(QString::number(values.size()), QString::number(notCopied.size()), SettingsGroup));
    }
    return values.size();
}
