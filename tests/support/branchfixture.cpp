#include "branchfixture.h"

#include "host/standalone/branchdb/branchschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString Sqlite = QStringLiteral("QSQLITE");
const QString Postgres = QStringLiteral("QPSQL");
const QString OdbcPostgres = QStringLiteral("QODBC-PostgreSQL");
const QString OdbcMariaDb = QStringLiteral("QODBC-MariaDB");
const QString PgBouncer = QStringLiteral("QPSQL-PgBouncer");

QString nextDatabaseName()
{
    static int counter = 0;
    return QStringLiteral("ordovant_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

// A connection of the fixture's own for the time of one job.
class Connection final
{
public:
    explicit Connection(const QString &driver) : m_db(QSqlDatabase::addDatabase(driver, m_name)) {}
    ~Connection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QSqlDatabase &db() { return m_db; }

private:
    QString m_name = QStringLiteral("branch-fixture");
    QSqlDatabase m_db;
};

bool insertAll(QSqlQuery &query, const QString &sql, const QVector<QVariantList> &rows)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariantList &row : rows) {
        for (const QVariant &value : row)
            query.addBindValue(value);
        if (!query.exec())
            return false;
    }
    return true;
}

} // namespace

BranchFixture::BranchFixture(QString route, QString directory)
    : m_route(std::move(route)), m_directory(std::move(directory))
{
    m_name = isServer() ? nextDatabaseName() : QDir(m_directory).filePath(QStringLiteral("filiale.db"));
    if (isOdbc() && !sharedOdbcIni()) {
        m_previousOdbcIni = qgetenv("ODBCINI");
        qputenv("ODBCINI", QFile::encodeName(odbcIni()));
    }
}

BranchFixture::~BranchFixture()
{
    releaseLock();
    // FORCE also ends a connection that the program under test still holds.
    if (m_created && isMariaDb())
        runAsAdministrator(QString(), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_name));
    else if (m_created)
        runAsAdministrator(QStringLiteral("postgres"),
                           QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    if (isOdbc() && !sharedOdbcIni())
        qputenv("ODBCINI", m_previousOdbcIni);
}

bool BranchFixture::sharedOdbcIni()
{
    return qEnvironmentVariableIsSet("ORDOVANT_TEST_ODBCINI");
}

QStringList BranchFixture::drivers()
{
    return {Sqlite, Postgres, PgBouncer, OdbcPostgres, OdbcMariaDb};
}

QString BranchFixture::driver() const
{
    return isOdbc() ? QStringLiteral("QODBC") : m_route == PgBouncer ? Postgres : m_route;
}

QString BranchFixture::unavailable(const QString &route)
{
    const QString driver = route.startsWith(QLatin1String("QODBC")) ? QStringLiteral("QODBC")
                           : route == PgBouncer                     ? Postgres
                                                                    : route;
    if (!QSqlDatabase::isDriverAvailable(driver))
        return QStringLiteral("the Qt Sql driver %1 is not installed").arg(driver);
    if (route != Sqlite && route != OdbcMariaDb && qEnvironmentVariableIsEmpty("ORDOVANT_TEST_PG_TEMPLATE"))
        return QStringLiteral("no test server: run under tests/support/with-postgresql.sh (./test.sh does)");
    if (route == OdbcPostgres && qEnvironmentVariableIsEmpty("ORDOVANT_TEST_ODBC_PG_DSN"))
        return QStringLiteral(
            "no ODBC data sources: run under tests/support/with-mariadb.sh (./test.sh does)");
    if (route == PgBouncer && qEnvironmentVariableIsEmpty("ORDOVANT_TEST_PGBOUNCER_PORT"))
        return QStringLiteral("no PgBouncer: run under tests/support/with-pgbouncer.sh (./test.sh does)");
    if (route == OdbcMariaDb && qEnvironmentVariableIsEmpty("ORDOVANT_TEST_ODBC_MARIADB_ADMIN_DSN"))
        return QStringLiteral(
            "no MariaDB test server: run under tests/support/with-mariadb.sh (./test.sh does)");
    return {};
}

bool BranchFixture::openAdministrator(QSqlDatabase &db, const QString &database)
{
    if (isMariaDb()) {
        db.setDatabaseName(qEnvironmentVariable("ORDOVANT_TEST_ODBC_MARIADB_ADMIN_DSN"));
        if (!db.open())
            return false;
        return database.isEmpty() || QSqlQuery(db).exec(QStringLiteral("USE %1").arg(database));
    }
    // The cluster and its superuser come from PG*: through libpq, or through psqlODBC by a connection
    // string (QODBC takes a name that holds "DRIVER=" as one), as the Windows build reaches it.
    db.setDatabaseName(
        isOdbc() ? QStringLiteral("DRIVER={PostgreSQL Unicode};Servername=%1;Port=%2;Username=%3;Password=%4;"
                                  "Database=%5")
                       .arg(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"),
                            qEnvironmentVariable("PGUSER"), qEnvironmentVariable("PGPASSWORD"), database)
                 : database);
    return db.open();
}

bool BranchFixture::runAsAdministrator(const QString &database, const QString &sql)
{
    Connection connection(driver());
    if (!openAdministrator(connection.db(), database)) {
        m_error = connection.db().lastError().text();
        return false;
    }
    QSqlQuery query(connection.db());
    if (!query.exec(sql)) {
        m_error = query.lastError().text();
        return false;
    }
    return true;
}

QStringList BranchFixture::rows(const QString &sql)
{
    QStringList rows;
    Connection connection(driver());
    if (!isServer())
        connection.db().setDatabaseName(m_name);
    if (isServer() ? !openAdministrator(connection.db(), m_name) : !connection.db().open()) {
        m_error = connection.db().lastError().text();
        return rows;
    }
    QSqlQuery query(connection.db());
    if (!query.exec(sql))
        m_error = query.lastError().text();
    while (query.next()) {
        QStringList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i).toString();
        rows << row.join(u',');
    }
    return rows;
}

bool BranchFixture::exec(const QString &sql)
{
    return runAsAdministrator(m_name, sql);
}

// The shipped schema, statement by statement as the administrator; its statements hold no ";" of
// their own and its comments are whole lines or line ends.
bool BranchFixture::loadMariaDbSchema()
{
    QFile schema(QStringLiteral(":/schema/mariadb.sql"));
    if (!schema.open(QIODevice::ReadOnly)) {
        m_error = schema.errorString();
        return false;
    }
    QString script = QString::fromUtf8(schema.readAll());
    script.remove(QRegularExpression(QStringLiteral("--[^\n]*")));
    Connection connection(driver());
    if (!openAdministrator(connection.db(), m_name)) {
        m_error = connection.db().lastError().text();
        return false;
    }
    QStringList statements = script.split(u';', Qt::SkipEmptyParts);
    statements << QStringLiteral("GRANT SELECT ON %1.einstellung TO ordovant_lesend").arg(m_name);
    QSqlQuery query(connection.db());
    for (const QString &statement : std::as_const(statements)) {
        if (!statement.trimmed().isEmpty() && !query.exec(statement)) {
            m_error = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool BranchFixture::create(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege, bool withTables)
{
    if (isMariaDb()) {
        if (!runAsAdministrator(QString(), QStringLiteral("CREATE DATABASE %1").arg(m_name)))
            return false;
        m_created = true;
        if (withTables && !loadMariaDbSchema())
            return false;
    } else if (isServer()) {
        const QString source =
            withTables ? qEnvironmentVariable("ORDOVANT_TEST_PG_TEMPLATE") : QStringLiteral("template0");
        if (!runAsAdministrator(QStringLiteral("postgres"),
                                QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(m_name, source)))
            return false;
        m_created = true;
    }
    return fill(tasks, belege, withTables);
}

bool BranchFixture::fill(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege, bool withTables)
{
    QVector<QVariantList> taskRows;
    for (const TaskRow &t : tasks)
        taskRows.append({t.filiale, t.gv, t.herkunft, t.erledigt});
    QVector<QVariantList> belegRows;
    for (const BelegRow &b : belege)
        belegRows.append(
            {b.filiale, b.art,
             isServer() && !b.ablaufdatum.isNull() ? QVariant(b.ablaufdatum.toDate()) : b.ablaufdatum,
             b.erledigt});

    Connection connection(driver());
    QSqlDatabase &db = connection.db();
    bool ok = isServer() ? openAdministrator(db, m_name) : (db.setDatabaseName(m_name), db.open());
    QSqlQuery query(db);
    if (ok && !isServer() && withTables) {
        for (const char *sql : BranchSchema::tables)
            ok = ok && query.exec(QString::fromLatin1(sql));
        for (const char *sql : BranchSchema::indexes)
            ok = ok && query.exec(QString::fromLatin1(sql));
    }
    if (ok && !withTables) {
        ok = query.exec(QStringLiteral("CREATE TABLE lager (artikel INTEGER, menge INTEGER)"));
        // MariaDB lets a user into a database only where it holds a grant.
        if (ok && isMariaDb())
            ok = query.exec(QStringLiteral("GRANT SELECT ON %1.lager TO ordovant").arg(m_name));
    } else if (ok) {
        ok = db.transaction() &&
             insertAll(
                 query,
                 QStringLiteral(
                     "INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES (?, ?, ?, ?)"),
                 taskRows) &&
             insertAll(query,
                       QStringLiteral(
                           "INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) VALUES (?, ?, ?, ?)"),
                       belegRows) &&
             db.commit();
    }
    if (!ok)
        m_error = db.isOpen() ? query.lastError().text() : db.lastError().text();
    return ok;
}

QString BranchFixture::odbcIni() const
{
    if (!isOdbc())
        return {};
    return sharedOdbcIni() ? qEnvironmentVariable("ORDOVANT_TEST_ODBCINI")
                           : m_odbcDirectory.filePath(QStringLiteral("odbc.ini"));
}

QByteArray BranchFixture::hostIniSection(const QString &role, int zeitlimit, const QString &host,
                                         const QString &port)
{
    if (!isServer())
        return QByteArrayLiteral("[Datenbank]\nPfad=filiale.db\n");
    // The pooler's route reaches the same cluster through PgBouncer; the fixture itself goes direct.
    const bool pooled = m_route == PgBouncer;
    if (!isOdbc())
        return QStringLiteral(
                   "[Datenbank]\nTreiber=QPSQL\nHost=%1\nPort=%2\nName=%3\nBenutzer=%4\nZeitlimit=%5\n")
            .arg(!host.isEmpty() ? host
                 : pooled        ? qEnvironmentVariable("ORDOVANT_TEST_PGBOUNCER_HOST")
                                 : qEnvironmentVariable("PGHOST"),
                 !port.isEmpty() ? port
                 : pooled        ? qEnvironmentVariable("ORDOVANT_TEST_PGBOUNCER_PORT")
                                 : qEnvironmentVariable("PGPORT"),
                 m_name, role)
            .arg(zeitlimit)
            .toUtf8();
    QString source;
    if (isMariaDb()) {
        const QString password = m_odbcPassword.isEmpty()
                                     ? qEnvironmentVariable("ORDOVANT_TEST_MARIADB_PASSWORD")
                                     : m_odbcPassword;
        const QString where =
            host.isEmpty()
                ? QStringLiteral("Socket=%1\n").arg(qEnvironmentVariable("ORDOVANT_TEST_MARIADB_SOCKET"))
                : QStringLiteral("Server=%1\nPort=%2\n").arg(host, port);
        source = QStringLiteral("Driver=MariaDB Unicode\n%1User=ordovant\nPassword=%2\nDatabase=%3\n")
                     .arg(where, password, m_name);
    } else {
        const QString password =
            m_odbcPassword.isEmpty() ? qEnvironmentVariable("PGPASSWORD") : m_odbcPassword;
        source = QStringLiteral("Driver=PostgreSQL Unicode\nServername=%1\nPort=%2\nUsername=ordovant\n"
                                "Password=%3\nDatabase=%4\n")
                     .arg(host.isEmpty() ? qEnvironmentVariable("PGHOST") : host,
                          port.isEmpty() ? qEnvironmentVariable("PGPORT") : port, password, m_name);
    }
    QFile ini(odbcIni());
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        ini.write((u'[' + m_name + QStringLiteral("]\n") + source).toUtf8()) < 0)
        m_error = ini.errorString();
    return QStringLiteral("[Datenbank]\nTreiber=QODBC\nName=%1\nBenutzer=%2\nZeitlimit=%3\n")
        .arg(m_name, role)
        .arg(zeitlimit)
        .toUtf8();
}

QByteArray BranchFixture::settingsInDatabase() const
{
    return isServer() ? QByteArrayLiteral("[Einstellungen]\nSpeicher=Datenbank\n") : QByteArray();
}

bool BranchFixture::lockTable(const QString &table)
{
    m_lockingConnection = QStringLiteral("locking-session");
    QSqlDatabase db = QSqlDatabase::addDatabase(driver(), m_lockingConnection);
    if (!openAdministrator(db, m_name))
        return false;
    if (isMariaDb())
        return QSqlQuery(db).exec(QStringLiteral("LOCK TABLES %1 WRITE").arg(table));
    return db.transaction() &&
           QSqlQuery(db).exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
}

void BranchFixture::releaseLock()
{
    if (m_lockingConnection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_lockingConnection, false);
        if (isMariaDb())
            QSqlQuery(db).exec(QStringLiteral("UNLOCK TABLES"));
        else
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_lockingConnection);
    m_lockingConnection.clear();
}
