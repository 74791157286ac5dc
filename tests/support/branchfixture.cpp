#include "branchfixture.h"

#include "host/standalone/branchschema.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QByteArray TemplateVariable = "ORDOVANT_TEST_PG_TEMPLATE";

QString nextDatabaseName()
{
    static int counter = 0;
    return QStringLiteral("ordovant_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

// A connection of the fixture's own for the time of one job; libpq takes the cluster from PG*.
class Connection final
{
public:
    Connection(const QString &driver, const QString &database)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
        db.setDatabaseName(database);
        m_open = db.open();
        m_error = db.lastError().text();
    }
    ~Connection() { QSqlDatabase::removeDatabase(m_name); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }

private:
    QString m_name = QStringLiteral("branch-fixture");
    bool m_open = false;
    QString m_error;
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

BranchFixture::BranchFixture(QString driver, QString directory)
    : m_driver(std::move(driver)), m_directory(std::move(directory))
{
    m_name = isServer() ? nextDatabaseName() : QDir(m_directory).filePath(QStringLiteral("filiale.db"));
}

BranchFixture::~BranchFixture()
{
    // FORCE also ends a connection that the program under test still holds.
    if (m_created && isServer())
        runOnServer(QStringLiteral("postgres"),
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
}

QString BranchFixture::unavailable(const QString &driver)
{
    if (!QSqlDatabase::isDriverAvailable(driver))
        return QStringLiteral("the Qt Sql driver %1 is not installed").arg(driver);
    if (driver == QLatin1String("QPSQL") && qEnvironmentVariableIsEmpty(TemplateVariable))
        return QStringLiteral("no test server: run under tests/support/with-postgresql.sh (./test.sh does)");
    return {};
}

bool BranchFixture::runOnServer(const QString &database, const QString &sql)
{
    Connection connection(m_driver, database);
    QSqlQuery query(connection.db());
    if (!connection.isOpen() || !query.exec(sql)) {
        m_error = connection.isOpen() ? query.lastError().text() : connection.error();
        return false;
    }
    return true;
}

bool BranchFixture::exec(const QString &sql)
{
    return runOnServer(m_name, sql);
}

bool BranchFixture::create(const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege, bool withTables)
{
    if (isServer()) {
        const QString source =
            withTables ? qEnvironmentVariable(TemplateVariable) : QStringLiteral("template0");
        if (!runOnServer(QStringLiteral("postgres"),
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

    Connection connection(m_driver, m_name);
    QSqlDatabase db = connection.db();
    QSqlQuery query(db);
    bool ok = connection.isOpen();
    if (ok && !isServer() && withTables) {
        for (const char *sql : BranchSchema::tables)
            ok = ok && query.exec(QString::fromLatin1(sql));
        for (const char *sql : BranchSchema::indexes)
            ok = ok && query.exec(QString::fromLatin1(sql));
    }
    if (ok && !withTables)
        ok = query.exec(QStringLiteral("CREATE TABLE lager (artikel INTEGER, menge INTEGER)"));
    else if (ok)
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
    if (!ok)
        m_error = connection.isOpen() ? query.lastError().text() : connection.error();
    return ok;
}

QByteArray BranchFixture::hostIniSection(const QString &role, int zeitlimit, const QString &host,
                                         const QString &port) const
{
    if (!isServer())
        return QByteArrayLiteral("[Datenbank]\nPfad=filiale.db\n");
    return QStringLiteral(
               "[Datenbank]\nTreiber=QPSQL\nHost=%1\nPort=%2\nName=%3\nBenutzer=%4\nZeitlimit=%5\n")
        .arg(host, port, m_name, role)
        .arg(zeitlimit)
        .toUtf8();
}

QByteArray BranchFixture::settingsInDatabase() const
{
    return isServer() ? QByteArrayLiteral("[Einstellungen]\nSpeicher=Datenbank\n") : QByteArray();
}
