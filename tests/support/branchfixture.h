#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVector>

#include <memory>

class QSqlDatabase;

struct TaskRow
{
    int filiale;
    int gv;
    int herkunft;
    int erledigt = 0;
};

struct BelegRow
{
    int filiale;
    int art;
    QVariant ablaufdatum; // ISO text; null: NULL
    int erledigt = 0;
};

// A branch database for one test on one route: a SQLite file in `directory`, or a fresh database on
// a throw-away server, made from the shipped schema and dropped again with the fixture. The routes:
//   QSQLITE           the file
//   QPSQL             the PostgreSQL cluster of tests/support/with-postgresql.sh
//   QPSQL-PgBouncer   the same cluster through the PgBouncer of tests/support/with-pgbouncer.sh, in
//                     transaction pooling
//   QODBC-PostgreSQL  the same cluster through psqlODBC
//   QODBC-MariaDB     the MariaDB server of tests/support/with-mariadb.sh through its ODBC driver
// The fixture administers a route through the route's own driver: an ODBC route through the
// administrator's data sources of tests/support/with-mariadb.sh, so that a build without a
// PostgreSQL or MariaDB client (the Windows build) runs the ODBC routes as well.
// An ODBC route names its database by a data source of its own, named as the database (the driver
// manager keeps what it read of a data source for the process), written to an odbc.ini of the fixture
// that ODBCINI names while the fixture lives; the password stays there, as in odbc.ini. Where the
// process cannot hand ODBCINI to the driver manager (a Windows program under Wine, whose driver manager
// is the host's unixODBC), ORDOVANT_TEST_ODBCINI names the file that the driver manager reads instead.
class BranchFixture final
{
public:
    BranchFixture(QString route, QString directory);
    ~BranchFixture();
    BranchFixture(const BranchFixture &) = delete;
    BranchFixture &operator=(const BranchFixture &) = delete;

    static QStringList drivers();
    // Empty when the route can be used here, else why not.
    static QString unavailable(const QString &route);

    bool isServer() const { return m_route != QLatin1String("QSQLITE"); }
    bool isOdbc() const { return m_route.startsWith(QLatin1String("QODBC")); }
    bool isMariaDb() const { return m_route == QLatin1String("QODBC-MariaDB"); }
    // The Qt Sql driver host.ini names.
    QString driver() const;
    // Makes the tables (none when `withTables` is false) and fills them.
    bool create(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege = {}, bool withTables = true);
    // host.ini's [Datenbank] section for the role, at the test server or at `host`:`port` (empty:
    // the test server), and a settings store in the database.
    QByteArray hostIniSection(const QString &role = QStringLiteral("ordovant"), int zeitlimit = 5,
                              const QString &host = QString(), const QString &port = QString());
    QByteArray settingsInDatabase() const;
    // The password the next hostIniSection() puts into an ODBC data source (empty: the right one).
    void setOdbcPassword(const QString &password) { m_odbcPassword = password; }
    // The ODBC data sources of this fixture (ODBCINI for a child process); empty on other routes.
    QString odbcIni() const;
    // Runs one statement as the server's administrator in this database.
    bool exec(const QString &sql);
    // Every row of a query as the administrator, its columns joined by commas.
    QStringList rows(const QString &sql);
    // Another session holds the table locked until releaseLock().
    bool lockTable(const QString &table);
    bool lockTasks() { return lockTable(QStringLiteral("absortieraufgabe")); }
    void releaseLock();
    // The server's name of the database; the file on QSQLITE.
    QString databaseName() const { return m_name; }
    QString error() const { return m_error; }

private:
    bool fill(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege, bool withTables);
    bool runAsAdministrator(const QString &database, const QString &sql);
    bool loadMariaDbSchema();
    bool openAdministrator(QSqlDatabase &db, const QString &database);
    static bool sharedOdbcIni();

    QString m_route;
    QString m_directory;
    QString m_name;
    QString m_error;
    QString m_odbcPassword;
    QTemporaryDir m_odbcDirectory;
    QByteArray m_previousOdbcIni;
    bool m_created = false;
    QString m_lockingConnection;
};
