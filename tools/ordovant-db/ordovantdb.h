#pragma once

// The parts of ordovant-db: what `create` writes, and the file and the server it writes to.

#include "host/standalone/config/hostconfig.h"

#include <QDate>
#include <QString>

#include <random>
#include <stdexcept>
#include <vector>

struct Task
{
    qint64 filiale = 0;
    qint64 gv = 0;
    qint64 herkunft = 0;
    qint64 erledigt = 0;
};

struct BelegRow
{
    qint64 filiale = 0;
    qint64 art = 0;
    QDate ablaufdatum; // null: NULL
    qint64 erledigt = 0;
};

struct RandomTasks
{
    qint64 count = 0;
    qint64 branches = 1;
    qint64 openPercent = 100;
    quint64 seed = 1;
};

// The rows of `create`: the given ones and the generated tasks.
struct BranchRows
{
    std::vector<Task> tasks;
    std::vector<BelegRow> belege;
    RandomTasks random;

    // The given tasks, then the generated ones. Plain modulo on the raw generator keeps the rows the
    // same for a seed on every platform.
    template <typename Visit> void forEachTask(Visit &&visit) const
    {
        for (const Task &task : tasks)
            visit(task);
        std::mt19937_64 generator(random.seed);
        for (qint64 i = 0; i < random.count; ++i) {
            Task task;
            task.filiale = 1 + qint64(generator() % quint64(random.branches));
            task.gv = qint64(generator() % 9);
            task.herkunft = qint64(generator() % 54);
            task.erledigt = qint64(generator() % 100) < random.openPercent ? 0 : 1;
            visit(task);
        }
    }
};

// A wrong command line: exit code 2.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A database or file that cannot be made, read or written: exit code 1.
class ToolError : public std::runtime_error
{
public:
    explicit ToolError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// Makes the SQLite file with the tables and fills it; a failure removes it again.
void createFile(const QString &file, const BranchRows &rows, bool force, bool indexes);

// Fills the existing tables of a server in one transaction. Without `force` a table that holds rows
// is an error; with it their rows are deleted first.
void fillServer(const BranchDatabaseSettings &settings, const BranchRows &rows, bool force);

// Copies the values of the group ORDOVANT/DM of an INI settings store into the table einstellung, as
// the rows of branch `filiale`, in one transaction and returns how many there were.
qsizetype copySettings(const QString &store, const BranchDatabaseSettings &settings, qint32 filiale);
