#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVector>

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

// A branch database for one test, on either driver: a SQLite file in `directory`, or a fresh
// database on the throw-away PostgreSQL server that tests/support/with-postgresql.sh prepared, copied
// from the template that holds the shipped schema and dropped again with the fixture.
class BranchFixture final
{
public:
    BranchFixture(QString driver, QString directory);
    ~BranchFixture();
    BranchFixture(const BranchFixture &) = delete;
    BranchFixture &operator=(const BranchFixture &) = delete;

    static QStringList drivers() { return {QStringLiteral("QSQLITE"), QStringLiteral("QPSQL")}; }
    // Empty when the driver can be used here, else why not.
    static QString unavailable(const QString &driver);

    bool isServer() const { return m_driver == QLatin1String("QPSQL"); }
    // Makes the tables (none when `withTables` is false) and fills them.
    bool create(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege = {}, bool withTables = true);
    // host.ini's [Datenbank] section for the role, at the test server or at `host`:`port`, and a
    // settings store in the database.
    QByteArray hostIniSection(const QString &role = QStringLiteral("ordovant"), int zeitlimit = 5,
                              const QString &host = qEnvironmentVariable("PGHOST"),
                              const QString &port = qEnvironmentVariable("PGPORT")) const;
    QByteArray settingsInDatabase() const;
    // Runs one statement as the cluster's superuser in this database.
    bool exec(const QString &sql);
    QString databaseName() const { return m_name; }
    QString error() const { return m_error; }

private:
    bool fill(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege, bool withTables);
    bool runOnServer(const QString &database, const QString &sql);

    QString m_driver;
    QString m_directory;
    QString m_name;
    QString m_error;
    bool m_created = false;
};
