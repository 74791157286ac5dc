#pragma once

#include "host/hosttypes.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <optional>

// Open documents as the branch database holds them: `anzahl` documents alike in everything kept here.
struct Beleg
{
    qint16 filiale = 0;
    qint64 art = 0;
    bool hatAblaufdatum = false;
    bool abgelaufen = false;
    qint64 anzahl = 1;
};

// Where the branch data is read: the SQLite file or a server. Every failure is a HostError naming the
// database and the driver's message, never a connection option; after one the next question connects
// afresh.
class BranchSource
{
public:
    virtual ~BranchSource() = default;

    // Counts the open sort-out tasks per origin and per business-transaction type; returns the total.
    virtual qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                  TQVX_Aufgabe_GV_Integer_Array &nachGV) = 0;
    virtual bool hasOpenTask(qint16 filiale) = 0;
    // The open documents of the kinds (at least one), each marked expired when its date lies before
    // `stichtag`; alike documents may come as one entry with their number.
    virtual QVector<Beleg> openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag) = 0;
    // The table einstellung, the rows of one branch.
    virtual std::optional<QString> readSetting(qint16 filiale, const QString &key) = 0;
    virtual void writeSetting(qint16 filiale, const QString &key, const QString &value) = 0;
    // Closes the connection; the next question opens it again.
    virtual void close() = 0;
};
