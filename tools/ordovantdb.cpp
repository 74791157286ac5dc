// ordovant-db: creates a branch database file with the tables the standalone host reads, and fills it
// with given or generated rows.

#include "host/standalone/branchschema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

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
    QString ablaufdatum; // empty: NULL
    qint64 erledigt = 0;
};

struct RandomTasks
{
    qint64 count = 0;
    qint64 branches = 1;
    qint64 openPercent = 100;
    quint64 seed = 1;
};

struct Options
{
    QString file;
    bool force = false;
    bool indexes = true;
    std::vector<Task> tasks;
    std::vector<BelegRow> belege;
    RandomTasks random;
};

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

qint64 number(const QString &text, const QString &what)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw UsageError(QStringLiteral("%1: \"%2\" is not a number").arg(what, text).toStdString());
    return value;
}

QStringList fields(const QString &value, const QString &option, int minimum, int maximum)
{
    const QStringList parts = value.split(u',');
    if (parts.size() < minimum || parts.size() > maximum)
        throw UsageError(QStringLiteral("--%1 %2: expected %3 to %4 comma-separated fields")
                             .arg(option, value)
                             .arg(minimum)
                             .arg(maximum)
                             .toStdString());
    return parts;
}

Task parseTask(const QString &value)
{
    const QStringList f = fields(value, QStringLiteral("task"), 3, 4);
    return {number(f[0], QStringLiteral("FILIALE")), number(f[1], QStringLiteral("GV")),
            number(f[2], QStringLiteral("HERKUNFT")),
            f.size() > 3 ? number(f[3], QStringLiteral("ERLEDIGT")) : 0};
}

BelegRow parseBeleg(const QString &value)
{
    const QStringList f = fields(value, QStringLiteral("beleg"), 3, 4);
    return {number(f[0], QStringLiteral("FILIALE")), number(f[1], QStringLiteral("ART")), f[2].trimmed(),
            f.size() > 3 ? number(f[3], QStringLiteral("ERLEDIGT")) : 0};
}

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Creates a branch database file for the standalone host."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("create"),
                                 QStringLiteral("The command; only \"create\" exists."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The database file to create."));
    parser.addOptions({
        {QStringLiteral("force"), QStringLiteral("Replace an existing file.")},
        {QStringLiteral("no-index"), QStringLiteral("Create the tables without their indexes.")},
        {QStringLiteral("task"), QStringLiteral("Add a sort-out task (repeatable)."),
         QStringLiteral("FILIALE,GV,HERKUNFT[,ERLEDIGT]")},
        {QStringLiteral("beleg"), QStringLiteral("Add a document; an empty date is NULL (repeatable)."),
         QStringLiteral("FILIALE,ART,ABLAUFDATUM[,ERLEDIGT]")},
        {QStringLiteral("random-tasks"), QStringLiteral("Add N generated sort-out tasks."),
         QStringLiteral("N")},
        {QStringLiteral("branches"), QStringLiteral("Generated tasks spread over branches 1..B (default 1)."),
         QStringLiteral("B"), QStringLiteral("1")},
        {QStringLiteral("open-percent"), QStringLiteral("Share of open generated tasks (default 100)."),
         QStringLiteral("P"), QStringLiteral("100")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generator (default 1)."), QStringLiteral("S"),
         QStringLiteral("1")},
    });
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2 || positional[0] != QLatin1String("create"))
        throw UsageError("usage: ordovant-db create FILE [options]; see --help");
    Options options;
    options.file = positional[1];
    options.force = parser.isSet(QStringLiteral("force"));
    options.indexes = !parser.isSet(QStringLiteral("no-index"));
    for (const QString &value : parser.values(QStringLiteral("task")))
        options.tasks.push_back(parseTask(value));
    for (const QString &value : parser.values(QStringLiteral("beleg")))
        options.belege.push_back(parseBeleg(value));
    if (parser.isSet(QStringLiteral("random-tasks")))
        options.random.count =
            number(parser.value(QStringLiteral("random-tasks")), QStringLiteral("--random-tasks"));
    options.random.branches = number(parser.value(QStringLiteral("branches")), QStringLiteral("--branches"));
    options.random.openPercent =
        number(parser.value(QStringLiteral("open-percent")), QStringLiteral("--open-percent"));
    options.random.seed = quint64(number(parser.value(QStringLiteral("seed")), QStringLiteral("--seed")));
    if (options.random.count < 0 || options.random.branches < 1 || options.random.openPercent < 0 ||
        options.random.openPercent > 100)
        throw UsageError("--random-tasks must be >= 0, --branches >= 1, --open-percent 0..100");
    return options;
}

// A database handle that reports SQLite's own message on every failure.
class Database
{
public:
    explicit Database(const QString &file)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK)
            fail("open");
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void exec(const char *sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail(sql);
        return statement;
    }
    void step(sqlite3_stmt *statement)
    {
        if (sqlite3_step(statement) != SQLITE_DONE)
            fail("insert");
        sqlite3_reset(statement);
    }
    [[noreturn]] void fail(const char *what)
    {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(m_db));
    }

private:
    sqlite3 *m_db = nullptr;
};

// Finalizes a statement on every path.
struct Statement
{
    Statement(Database &db, const char *sql) : handle(db.prepare(sql)) {}
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *handle;
};

void insertTask(Database &db, sqlite3_stmt *insert, const Task &task)
{
    sqlite3_bind_int64(insert, 1, task.filiale);
    sqlite3_bind_int64(insert, 2, task.gv);
    sqlite3_bind_int64(insert, 3, task.herkunft);
    sqlite3_bind_int64(insert, 4, task.erledigt);
    db.step(insert);
}

// Plain modulo on the raw generator keeps the rows the same for a seed on every platform.
void insertRandomTasks(Database &db, sqlite3_stmt *insert, const RandomTasks &random)
{
    std::mt19937_64 generator(random.seed);
    for (qint64 i = 0; i < random.count; ++i) {
        Task task;
        task.filiale = 1 + qint64(generator() % quint64(random.branches));
        task.gv = qint64(generator() % 9);
        task.herkunft = qint64(generator() % 54);
        task.erledigt = qint64(generator() % 100) < random.openPercent ? 0 : 1;
        insertTask(db, insert, task);
    }
}

void insertBeleg(Database &db, sqlite3_stmt *insert, const BelegRow &beleg)
{
    sqlite3_bind_int64(insert, 1, beleg.filiale);
    sqlite3_bind_int64(insert, 2, beleg.art);
    if (beleg.ablaufdatum.isEmpty()) {
        sqlite3_bind_null(insert, 3);
    } else {
        const QByteArray text = beleg.ablaufdatum.toUtf8();
        sqlite3_bind_text(insert, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    sqlite3_bind_int64(insert, 4, beleg.erledigt);
    db.step(insert);
}

void fill(const Options &options)
{
    Database db(options.file);
    // A fresh file that is deleted on failure needs no journal.
    db.exec("PRAGMA journal_mode = OFF");
    db.exec("PRAGMA synchronous = OFF");
    db.exec("BEGIN");
    for (const char *sql : BranchSchema::tables)
        db.exec(sql);
    {
        Statement insert(
            db, "INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES (?, ?, ?, ?)");
        for (const Task &task : options.tasks)
            insertTask(db, insert.handle, task);
        insertRandomTasks(db, insert.handle, options.random);
    }
    {
        Statement insert(db, "INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) VALUES (?, ?, ?, ?)");
        for (const BelegRow &beleg : options.belege)
            insertBeleg(db, insert.handle, beleg);
    }
    // Building the indexes after the rows is much faster than keeping them up to date row by row.
    if (options.indexes) {
        for (const char *sql : BranchSchema::indexes)
            db.exec(sql);
    }
    db.exec("COMMIT");
}

int create(const Options &options)
{
    if (QFileInfo::exists(options.file)) {
        if (!options.force) {
            std::fprintf(stderr, "ordovant-db: %s exists; use --force to replace it\n",
                         qPrintable(options.file));
            return 1;
        }
        if (!QFile::remove(options.file)) {
            std::fprintf(stderr, "ordovant-db: cannot remove %s\n", qPrintable(options.file));
            return 1;
        }
    }
    try {
        fill(options);
    } catch (const std::exception &e) {
        QFile::remove(options.file);
        std::fprintf(stderr, "ordovant-db: %s: %s\n", qPrintable(options.file), e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ordovant-db"));
    try {
        return create(parseOptions(app));
    } catch (const UsageError &e) {
        std::fprintf(stderr, "ordovant-db: %s\n", e.what());
        return 2;
    }
}
