// The branch database as an SQLite file, written through SQLite itself: Qt Sql's per-row overhead
// would dominate the large files of the benchmarks.

#include "ordovantdb.h"

#include "host/hosterror.h"
#include "host/standalone/branchdb/branchschema.h"
#include "host/standalone/platform/durablefile.h"
#include "host/standalone/store/filereplacement.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

// A database handle that reports SQLite's own message on every failure.
class Database
{
public:
    explicit Database(const QString &file)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            // SQLite hands out a handle even when the open fails; no destructor runs for it here.
            const std::string message = std::string("open: ") + sqlite3_errmsg(m_db);
            sqlite3_close(m_db);
            throw std::runtime_error(message);
        }
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

void insertBeleg(Database &db, sqlite3_stmt *insert, const BelegRow &beleg)
{
    sqlite3_bind_int64(insert, 1, beleg.filiale);
    sqlite3_bind_int64(insert, 2, beleg.art);
    if (beleg.ablaufdatum.isNull()) {
        sqlite3_bind_null(insert, 3);
    } else {
        const QByteArray text = beleg.ablaufdatum.toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(insert, 3, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    sqlite3_bind_int64(insert, 4, beleg.erledigt);
    db.step(insert);
}

void fill(const QString &file, const BranchRows &rows, bool indexes)
{
    Database db(file);
    // A fresh file that is deleted on failure needs no journal; the commit still has it written to
    // disk, before it takes the old file's place.
    db.exec("PRAGMA journal_mode = OFF");
    db.exec("BEGIN");
    for (const char *sql : BranchSchema::tables)
        db.exec(sql);
    {
        Statement insert(
            db, "INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES (?, ?, ?, ?)");
        rows.forEachTask([&](const Task &task) { insertTask(db, insert.handle, task); });
    }
    {
        Statement insert(db, "INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) VALUES (?, ?, ?, ?)");
        for (const BelegRow &beleg : rows.belege)
            insertBeleg(db, insert.handle, beleg);
    }
    // Building the indexes after the rows is much faster than keeping them up to date row by row.
    if (indexes) {
        for (const char *sql : BranchSchema::indexes)
            db.exec(sql);
    }
    db.exec("COMMIT");
}

// The real file of `file` (a link the owner of its target, or root, made is followed; another user's
// is refused), so that a replacement reaches the database the workstations read, not the link.
QString realFile(const QString &file)
{
    try {
        return replacedFile(file);
    } catch (const HostError &e) {
        throw ToolError(QString::fromUtf8(e.what()));
    }
}

} // namespace

void createFile(const QString &file, const BranchRows &rows, bool force, bool indexes)
{
    const QString target = realFile(file);
    const bool replacing = QFileInfo::exists(target);
    if (replacing && !force)
        throw ToolError(QStringLiteral("%1 exists; use --force to replace it").arg(file));
    // Built beside the old file and put in its place only when complete and on disk, with the old
    // file's owner, group, mode and ACL, so that a failed --force run leaves the old file as it was and
    // the workstations that read it through its group still can.
    const QString building = target + QStringLiteral(".neu");
    QFile::remove(building); // left by a run that was killed
    try {
        // Made here, exclusively, so that SQLite opens this file and no link planted in its place.
        if (!DurableFile::create(building, QByteArray(), target))
            throw ToolError(QStringLiteral("%1 is in the way").arg(building));
        fill(building, rows, indexes);
        DurableFile::finish(building, target);
        if (!DurableFile::replace(building, target))
            throw ToolError(QStringLiteral("another program holds %1 open").arg(target));
    } catch (const HostError &e) {
        QFile::remove(building);
        throw ToolError(QStringLiteral("cannot replace %1: %2").arg(file, QString::fromUtf8(e.what())));
    } catch (const std::exception &e) {
        QFile::remove(building);
        throw ToolError(QStringLiteral("%1: %2").arg(file, QString::fromUtf8(e.what())));
    }
}
