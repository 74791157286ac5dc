#include "sqlitebranch.h"

#include "branchsql.h"
#include "host/hosterror.h"
#include "host/standalone/config/hostinifile.h"
#include "tasktally.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

#include <sqlite3.h>

#include <atomic>

namespace {

QString uniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("ordovant-filialdatei-%1").arg(++counter);
}

// Finalizes a statement prepared for one question on every path.
class Statement final
{
public:
    explicit Statement(sqlite3_stmt *handle) : m_handle(handle) {}
    ~Statement() { sqlite3_finalize(m_handle); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_handle; }

private:
    sqlite3_stmt *m_handle;
};

} // namespace

SqliteBranch::SqliteBranch(QString path, int busyTimeoutSeconds)
    : m_path(std::move(path)), m_busyTimeoutSeconds(busyTimeoutSeconds),
      m_connectionName(uniqueConnectionName())
{
}

SqliteBranch::~SqliteBranch()
{
    close();
}

void SqliteBranch::close()
{
    // The driver cannot close a connection that still has a statement of ours.
    sqlite3_finalize(m_count);
    m_count = nullptr;
    if (!m_connectionAdded)
        return;
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionAdded = false;
}

void SqliteBranch::fail(const QString &what, const QString &driverMessage)
{
    const QString message = QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3")
                                .arg(QDir::toNativeSeparators(m_path), what, driverMessage);
    close();
    throw HostError(message);
}

sqlite3 *SqliteBranch::connection()
{
    if (!m_connectionAdded) {
        // QSQLITE would create a missing file even when asked to open it read-only.
        const QFileInfo file(m_path);
        if (file.exists() && !file.isFile())
            throw HostError(QStringLiteral("Die Filialdatenbank %1 ist keine Datei, sondern %2.")
                                .arg(QDir::toNativeSeparators(m_path), HostIni::kindOf(file)));
        if (!file.isFile())
            throw HostError(QStringLiteral("Die Filialdatenbank %1 gibt es nicht.")
                                .arg(QDir::toNativeSeparators(m_path)));
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
            throw HostError(QStringLiteral(
                "Der Datenbanktreiber QSQLITE ist nicht installiert (Paket libqt6sql6-sqlite)."));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_connectionAdded = true;
        db.setDatabaseName(m_path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutSeconds * 1000));
    }
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen() && !db.open()) {
        const QString error = db.lastError().text();
        db = QSqlDatabase();
        fail(QStringLiteral("Verbinden"), error);
    }
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        db = QSqlDatabase();
        fail(QStringLiteral("Zugriff"), QStringLiteral("der SQLite-Treiber gibt keinen Zugang"));
    }
    return *static_cast<sqlite3 *const *>(handle.constData());
}

sqlite3_stmt *SqliteBranch::prepare(const QString &sql)
{
    sqlite3 *db = connection();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(db, text.constData(), int(text.size()), 0, &statement, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Vorbereiten"), QString::fromUtf8(sqlite3_errmsg(db)));
    return statement;
}

qint32 SqliteBranch::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                    TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    if (!m_count) {
        sqlite3 *db = connection();
        const QByteArray sql = BranchSql::CountOpenTasks.toUtf8();
        if (sqlite3_prepare_v3(db, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &m_count,
                               nullptr) != SQLITE_OK)
            fail(QStringLiteral("Vorbereiten"), QString::fromUtf8(sqlite3_errmsg(db)));
    }
    sqlite3_reset(m_count);
    sqlite3_bind_int(m_count, 1, filiale);
    TaskTally tally(nachHerkunft, nachGV);
    int step;
    while ((step = sqlite3_step(m_count)) == SQLITE_ROW)
        tally.add(sqlite3_column_int64(m_count, 0), sqlite3_column_int64(m_count, 1),
                  sqlite3_column_int64(m_count, 2));
    const QString error =
        step == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_count)));
    // Resetting keeps no read transaction open between two counts.
    sqlite3_reset(m_count);
    if (step != SQLITE_DONE)
        fail(QStringLiteral("Zählen der Absortieraufgaben"), error);
    return tally.total();
}

bool SqliteBranch::hasOpenTask(qint16 filiale)
{
    QString error;
    bool found = false;
    {
        const Statement statement(prepare(BranchSql::HasOpenTask));
        sqlite3_bind_int(statement.get(), 1, filiale);
        if (sqlite3_step(statement.get()) == SQLITE_ROW)
            found = sqlite3_column_int64(statement.get(), 0) != 0;
        else
            error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement.get())));
    }
    // Only once the statement is finalized can a failure close the connection.
    if (!error.isNull())
        fail(QStringLiteral("Suchen offener Absortieraufgaben"), error);
    return found;
}

QVector<Beleg> SqliteBranch::openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag)
{
    const QString sql = BranchSql::openBelegeOfKindsSqlite(kinds.size());
    QVector<Beleg> belege;
    QString error;
    {
        const Statement statement(prepare(sql));
        sqlite3_stmt *handle = statement.get();
        const QByteArray day = stichtag.toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(handle, 1, day.constData(), int(day.size()), SQLITE_STATIC);
        sqlite3_bind_int(handle, 2, filiale);
        for (int i = 0; i < kinds.size(); ++i)
            sqlite3_bind_int(handle, 3 + i, kinds[i]);
        int step;
        while ((step = sqlite3_step(handle)) == SQLITE_ROW)
            belege.append({filiale, sqlite3_column_int64(handle, 0), sqlite3_column_int(handle, 1) != 0,
                           sqlite3_column_int(handle, 2) != 0});
        if (step != SQLITE_DONE)
            error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(handle)));
    }
    if (!error.isNull())
        fail(QStringLiteral("Laden der Belege"), error);
    return belege;
}

// host.ini refuses the settings in an SQLite file at the start; this is the same answer for a caller
// that did not ask host.ini first.
std::optional<QString> SqliteBranch::readSetting(qint16, const QString &)
{
    throw HostError(QStringLiteral("Die SQLite-Filialdatenbank %1 hält keine Einstellungen.").arg(m_path));
}

void SqliteBranch::writeSetting(qint16, const QString &, const QString &)
{
    throw HostError(QStringLiteral("Die SQLite-Filialdatenbank %1 hält keine Einstellungen.").arg(m_path));
}
