#include "libpqbranch.h"

#include "branchsql.h"
#include "host/hosterror.h"
#include "postgresconnection.h"
#include "sqlfailure.h"
#include "tasktally.h"

#include <QLibrary>

#include <libpq-fe.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace {

// libpq's functions that the program calls, from libpq.so.5 loaded at the first question; null when
// it cannot be loaded. Not linked: its TLS, Kerberos and LDAP libraries would load with every start.
struct Libpq
{
    decltype(&::PQconnectdbParams) connectdbParams = nullptr;
    decltype(&::PQstatus) status = nullptr;
    decltype(&::PQerrorMessage) errorMessage = nullptr;
    decltype(&::PQfinish) finish = nullptr;
    decltype(&::PQconninfoParse) conninfoParse = nullptr;
    decltype(&::PQconninfoFree) conninfoFree = nullptr;
    decltype(&::PQfreemem) freemem = nullptr;
    decltype(&::PQenterPipelineMode) enterPipelineMode = nullptr;
    decltype(&::PQsendQueryParams) sendQueryParams = nullptr;
    decltype(&::PQpipelineSync) pipelineSync = nullptr;
    decltype(&::PQgetResult) getResult = nullptr;
    decltype(&::PQresultStatus) resultStatus = nullptr;
    decltype(&::PQresultErrorMessage) resultErrorMessage = nullptr;
    decltype(&::PQresultErrorField) resultErrorField = nullptr;
    decltype(&::PQntuples) ntuples = nullptr;
    decltype(&::PQnfields) nfields = nullptr;
    decltype(&::PQgetvalue) getvalue = nullptr;
    decltype(&::PQgetlength) getlength = nullptr;
    decltype(&::PQclear) clear = nullptr;

    static const Libpq *instance()
    {
        static const std::unique_ptr<Libpq> loaded = load();
        return loaded.get();
    }

private:
    static std::unique_ptr<Libpq> load()
    {
        // The system's libpq by its soname, found as the loader finds every library of the program.
        static QLibrary library(QStringLiteral("pq"), 5);
        auto pq = std::make_unique<Libpq>();
        bool complete = true;
        const auto resolve = [&](auto &function, const char *name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
            complete = complete && function;
        };
        resolve(pq->connectdbParams, "PQconnectdbParams");
        resolve(pq->status, "PQstatus");
        resolve(pq->errorMessage, "PQerrorMessage");
        resolve(pq->finish, "PQfinish");
        resolve(pq->conninfoParse, "PQconninfoParse");
        resolve(pq->conninfoFree, "PQconninfoFree");
        resolve(pq->freemem, "PQfreemem");
        // Pipeline mode came with libpq 14.
        resolve(pq->enterPipelineMode, "PQenterPipelineMode");
        resolve(pq->sendQueryParams, "PQsendQueryParams");
        resolve(pq->pipelineSync, "PQpipelineSync");
        resolve(pq->getResult, "PQgetResult");
        resolve(pq->resultStatus, "PQresultStatus");
        resolve(pq->resultErrorMessage, "PQresultErrorMessage");
        resolve(pq->resultErrorField, "PQresultErrorField");
        resolve(pq->ntuples, "PQntuples");
        resolve(pq->nfields, "PQnfields");
        resolve(pq->getvalue, "PQgetvalue");
        resolve(pq->getlength, "PQgetlength");
        resolve(pq->clear, "PQclear");
        return complete ? std::move(pq) : nullptr;
    }
};

const Libpq &libpq()
{
    const Libpq *pq = Libpq::instance();
    if (!pq)
        throw HostError(
            QStringLiteral("Die PostgreSQL-Bibliothek libpq (ab Version 14) ist nicht installiert "
                           "(Paket libpq5)."));
    return *pq;
}

// Frees a result on every path.
class Result final
{
public:
    Result(const Libpq &pq, PGresult *result) : m_pq(pq), m_result(result) {}
    ~Result()
    {
        if (m_result)
            m_pq.clear(m_result);
    }
    Result(const Result &) = delete;
    Result &operator=(const Result &) = delete;

    PGresult *get() const { return m_result; }
    ExecStatusType status() const { return m_pq.resultStatus(m_result); }

private:
    const Libpq &m_pq;
    PGresult *m_result;
};

QString reasonOf(const char *text)
{
    const QString reason = QString::fromUtf8(text).trimmed();
    return reason.isEmpty() ? SqlFailure::reason(QSqlError()) : reason;
}

// libpq's keyword/value pairs of host.ini's Optionen, as libpq's own parser reads them after every
// ";" became a blank (host.ini's check read them the same way).
std::vector<std::pair<QByteArray, QByteArray>> optionPairs(const QString &options)
{
    std::vector<std::pair<QByteArray, QByteArray>> pairs;
    if (options.trimmed().isEmpty())
        return pairs;
    QString text = options;
    text.replace(u';', u' ');
    const Libpq &pq = libpq();
    char *error = nullptr;
    PQconninfoOption *parsed = pq.conninfoParse(text.toUtf8().constData(), &error);
    if (!parsed) {
        // libpq's message quotes the option, which may hold a secret; host.ini's check refused every
        // form that libpq cannot read, so this is libpq running out of memory.
        if (error)
            pq.freemem(error);
        throw HostError(QStringLiteral("Optionen ungültig: libpq kann sie nicht lesen."));
    }
    for (const PQconninfoOption *option = parsed; option->keyword; ++option) {
        if (option->val)
            pairs.emplace_back(option->keyword, option->val);
    }
    pq.conninfoFree(parsed);
    return pairs;
}

} // namespace

LibpqBranch::LibpqBranch(const BranchDatabaseSettings &settings, ServerWatchdog::Report report)
    : m_settings(settings), m_serverName(PostgresConnection::serverNameOf(settings)),
      m_hostCount(int(settings.host.count(u',')) + 1),
      m_timeLimit(settings.timeoutSeconds, m_serverName, std::move(report))
{
}

LibpqBranch::~LibpqBranch()
{
    close();
}

void LibpqBranch::close()
{
    if (!m_connection)
        return;
    libpq().finish(m_connection);
    m_connection = nullptr;
}

QString LibpqBranch::message(const QString &what, const QString &reason) const
{
    return QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3").arg(m_serverName, what, reason);
}

void LibpqBranch::fail(const QString &what, const QString &reason)
{
    close();
    throw HostError(message(what, reason));
}

pg_conn *LibpqBranch::connection()
{
    if (m_connection)
        return m_connection;
    const Libpq &pq = libpq();
    // host.ini's keys, then its Optionen, then what the program needs: libpq takes a key's last value.
    // A list of hosts has one port per host.
    std::vector<std::pair<QByteArray, QByteArray>> parameters;
    if (!m_settings.host.isEmpty())
        parameters.emplace_back("host", m_settings.host.toUtf8());
    if (!m_settings.portList.isEmpty())
        parameters.emplace_back("port", m_settings.portList.toUtf8());
    else if (m_settings.port != -1)
        parameters.emplace_back("port", QByteArray::number(m_settings.port));
    parameters.emplace_back("dbname", m_settings.name.toUtf8());
    if (!m_settings.user.isEmpty())
        parameters.emplace_back("user", m_settings.user.toUtf8());
    parameters.emplace_back("connect_timeout", QByteArray::number(m_settings.timeoutSeconds));
    parameters.emplace_back("fallback_application_name", "ordovant");
    for (auto &option : optionPairs(m_settings.options))
        parameters.push_back(std::move(option));
    // In the startup packet, which PgBouncer passes on: no SET after connecting.
    parameters.emplace_back("client_encoding", "UTF8");
    std::vector<const char *> keys;
    std::vector<const char *> values;
    for (const auto &[key, value] : parameters) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PGconn *connection = nullptr;
    {
        // libpq tries the servers of a list in turn, each up to the connect limit.
        const ServerTimeLimit::Work connecting = m_timeLimit.connecting(m_hostCount);
        connection = pq.connectdbParams(keys.data(), values.data(), 0);
    }
    if (!connection)
        throw HostError(
            message(QStringLiteral("Verbinden"), QStringLiteral("kein Speicher für die Verbindung")));
    if (pq.status(connection) != CONNECTION_OK || !pq.enterPipelineMode(connection)) {
        const QString reason = reasonOf(pq.errorMessage(connection));
        pq.finish(connection);
        m_timeLimit.connectFailed(reason);
        throw HostError(message(QStringLiteral("Verbinden"), reason));
    }
    m_connection = connection;
    return m_connection;
}

LibpqBranch::Answer LibpqBranch::exchange(const QByteArray &sql, const QByteArrayList &values,
                                          bool rollBackFirst)
{
    PGconn *connection = this->connection();
    const Libpq &pq = libpq();
    // The statements of one step share its time; the watchdog guards the whole flight.
    const ServerTimeLimit::Work limit = m_timeLimit.statement();
    // The number is the program's own (what the step has left of Zeitlimit), never text from outside.
    const QByteArray setLimit = "SET LOCAL statement_timeout = " + QByteArray::number(limit.milliseconds());
    std::vector<const char *> bound;
    for (const QByteArray &value : values)
        bound.push_back(value.constData());
    const auto send = [&](const char *statement, int count, const char *const *parameters) {
        return pq.sendQueryParams(connection, statement, count, nullptr, parameters, nullptr, nullptr, 0) ==
               1;
    };
    const bool sent = (!rollBackFirst || send("ROLLBACK", 0, nullptr)) && send("BEGIN", 0, nullptr) &&
                      send(setLimit.constData(), 0, nullptr) &&
                      send(sql.constData(), int(bound.size()), bound.data()) && send("COMMIT", 0, nullptr) &&
                      pq.pipelineSync(connection) == 1;
    Answer answer;
    if (!sent) {
        answer.failure = reasonOf(pq.errorMessage(connection));
        return answer;
    }
    // Each statement's result and a null after it, then the sync. After a failure the server skips the
    // rest; their results say so, and the sync still comes.
    const int statement = rollBackFirst ? 3 : 2;
    const int statements = statement + 2;
    bool synced = false;
    for (int i = 0, nulls = 0; !synced && i < 4 * statements + 4;) {
        const Result result(pq, pq.getResult(connection));
        if (!result.get()) {
            // Two nulls in a row: nothing more comes (libpq lost the connection).
            if (++nulls > 1 || pq.status(connection) != CONNECTION_OK)
                break;
            continue;
        }
        nulls = 0;
        const ExecStatusType status = result.status();
        if (status == PGRES_PIPELINE_SYNC) {
            synced = true;
        } else if (status == PGRES_FATAL_ERROR || status == PGRES_BAD_RESPONSE) {
            if (answer.failure.isEmpty()) {
                answer.failure = reasonOf(pq.resultErrorMessage(result.get()));
                if (const char *state = pq.resultErrorField(result.get(), PG_DIAG_SQLSTATE))
                    answer.sqlState = state;
            }
        } else if (status == PGRES_TUPLES_OK && i == statement && answer.failure.isEmpty()) {
            const int rows = pq.ntuples(result.get());
            const int columns = pq.nfields(result.get());
            answer.rows.reserve(rows);
            for (int row = 0; row < rows; ++row) {
                QByteArrayList fields;
                fields.reserve(columns);
                for (int column = 0; column < columns; ++column)
                    fields << QByteArray(pq.getvalue(result.get(), row, column),
                                         pq.getlength(result.get(), row, column));
                answer.rows << fields;
            }
        }
        if (status != PGRES_PIPELINE_SYNC)
            ++i;
    }
    if (!synced && answer.failure.isEmpty())
        answer.failure = reasonOf(pq.errorMessage(connection));
    if (!synced)
        close();
    return answer;
}

LibpqBranch::Rows LibpqBranch::run(const QString &what, const QByteArray &sql, const QByteArrayList &values)
{
    Answer answer = exchange(sql, values);
    if (!answer.failure.isEmpty())
        fail(what, answer.failure);
    return std::move(answer.rows);
}

qint32 LibpqBranch::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                   TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    static const QByteArray sql = BranchSql::numberedForPostgres(BranchSql::CountOpenTasks);
    const Rows rows = run(QStringLiteral("Zählen der Absortieraufgaben"), sql, {QByteArray::number(filiale)});
    TaskTally tally(nachHerkunft, nachGV);
    for (const QByteArrayList &row : rows)
        tally.add(row.value(0).toLongLong(), row.value(1).toLongLong(), row.value(2).toLongLong());
    return tally.total();
}

bool LibpqBranch::hasOpenTask(qint16 filiale)
{
    static const QByteArray sql = BranchSql::numberedForPostgres(BranchSql::HasOpenTask);
    const Rows rows =
        run(QStringLiteral("Suchen offener Absortieraufgaben"), sql, {QByteArray::number(filiale)});
    return !rows.isEmpty() && rows.first().value(0).toLongLong() != 0;
}

QVector<Beleg> LibpqBranch::openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag)
{
    const QByteArray sql = BranchSql::numberedForPostgres(BranchSql::openBelegeOfKinds(kinds.size()));
    // ISO dates read the same in every DateStyle.
    QByteArrayList values{stichtag.toString(Qt::ISODate).toLatin1(), QByteArray::number(filiale)};
    for (const int kind : kinds)
        values << QByteArray::number(kind);
    const Rows rows = run(QStringLiteral("Laden der Belege"), sql, values);
    QVector<Beleg> belege;
    belege.reserve(rows.size());
    for (const QByteArrayList &row : rows)
        belege.append({filiale, row.value(0).toLongLong(), row.value(1).toInt() != 0,
                       row.value(2).toInt() != 0, row.value(3).toLongLong()});
    return belege;
}

std::optional<QString> LibpqBranch::readSetting(qint16 filiale, const QString &key)
{
    static const QByteArray sql = BranchSql::numberedForPostgres(BranchSql::ReadSetting);
    const Rows rows = run(QStringLiteral("Lesen der Einstellung %1").arg(key), sql,
                          {QByteArray::number(filiale), key.toUtf8()});
    if (rows.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(rows.first().value(0));
}

void LibpqBranch::writeSetting(qint16 filiale, const QString &key, const QString &value)
{
    const QString what = QStringLiteral("Schreiben der Einstellung %1").arg(key);
    // A text value ends at its first zero character in libpq, and the server keeps none: refused
    // rather than cut short.
    if (key.contains(QChar(u'\0')) || value.contains(QChar(u'\0')))
        throw HostError(message(what, QStringLiteral("der Wert enthält ein Nullzeichen, das der Server "
                                                     "nicht speichern kann")));
    static const QByteArray sql = BranchSql::WriteSettingPostgres.toUtf8();
    const QByteArrayList values{QByteArray::number(filiale), key.toUtf8(), value.toUtf8()};
    Answer answer = exchange(sql, values);
    // Another workstation inserted the key first: the same statement again finds its row. The failed
    // transaction is rolled back in the same flight.
    constexpr char UniqueViolation[] = "23505";
    if (answer.sqlState == UniqueViolation && m_connection)
        answer = exchange(sql, values, true);
    if (!answer.failure.isEmpty())
        fail(what, answer.failure);
}
