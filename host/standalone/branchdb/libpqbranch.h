#pragma once

#include "branchsource.h"
#include "host/standalone/config/hostconfig.h"
#include "servertimelimit.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

struct pg_conn;

// The branch database on a PostgreSQL server through libpq itself, in pipeline mode: each piece of
// work (a count, an existence test, the document load, a settings read or write) goes to the server as
// one flight, BEGIN, its own statement limit, the statement with its values bound, COMMIT, and comes
// back as one answer: one round trip. The connect asks the server nothing of its own; the encoding
// travels in the startup packet. The statement is libpq's unnamed one, as for any query with values:
// no setting and no named statement outlive the transaction, so a pooler may hand the connection on.
// libpq is loaded at the first question, so that a start on SQLite does not pay for it.
class LibpqBranch final : public BranchSource
{
public:
    // The watchdog of the time limit reports to `report`.
    LibpqBranch(const BranchDatabaseSettings &settings, ServerWatchdog::Report report);
    ~LibpqBranch() override;
    LibpqBranch(const LibpqBranch &) = delete;
    LibpqBranch &operator=(const LibpqBranch &) = delete;

    qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV) override;
    bool hasOpenTask(qint16 filiale) override;
    QVector<Beleg> openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag) override;
    std::optional<QString> readSetting(qint16 filiale, const QString &key) override;
    void writeSetting(qint16 filiale, const QString &key, const QString &value) override;
    void close() override;

private:
    using Rows = QList<QByteArrayList>;
    // What one flight brought back: the statement's rows, or the server's or libpq's reason.
    struct Answer
    {
        Rows rows;
        QString failure;
        QByteArray sqlState;
    };

    pg_conn *connection();
    // Sends the statement inside its transaction and reads the answer; after a failed one the
    // transaction is rolled back first, in the same flight.
    Answer exchange(const QByteArray &sql, const QByteArrayList &values, bool rollBackFirst = false);
    // exchange(), where a failure closes the connection and throws.
    Rows run(const QString &what, const QByteArray &sql, const QByteArrayList &values);
    [[noreturn]] void fail(const QString &what, const QString &reason);
    QString message(const QString &what, const QString &reason) const;

    BranchDatabaseSettings m_settings;
    QString m_serverName;
    int m_hostCount = 1;
    pg_conn *m_connection = nullptr;
    ServerTimeLimit m_timeLimit;
};
