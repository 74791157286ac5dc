// Every state a power cut or a kernel crash could leave of a file the program or its tool replaces.
// The file-system calls of a real save are recorded with strace and replayed as a file system may keep
// them: data written since a file's last fsync lost, kept in part or kept as zeros at its full size; a
// creation, rename or removal in the folder kept or not until the folder's fsync. Each state is read as
// the program reads it and must be one that the save passes through when nothing goes wrong.

#include "host/hostbackend.h"
#include "host/simplemask.h"
#include "host/standalone/hostlog.h"
#include "host/standalone/standalonehost.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <functional>

namespace {

const QString StoreSaverSwitch = QStringLiteral("--store-saver");
const QString LogWriterSwitch = QStringLiteral("--log-writer");
constexpr qint64 LogLimit = 1024 * 1024;
// More calls of the folder than this between two of its fsyncs are kept in order, not in any choice.
constexpr int MaxChoices = 10;

// One recorded call that changes the folder or a file in it.
struct Call
{
    enum Kind { Create, Rename, Unlink, Write, Truncate, SyncFile, SyncFolder, Link };
    Call(Kind callKind, int callInode, QString callName, QString callTarget = {}, qint64 callOffset = 0,
         QByteArray callData = {})
        : kind(callKind), inode(callInode), name(std::move(callName)), target(std::move(callTarget)),
          offset(callOffset), data(std::move(callData))
    {
    }
    Kind kind;
    int inode;
    QString name;   // Create, Rename (from), Unlink
    QString target; // Rename, Link (to)
    qint64 offset;  // Write: where; Truncate: the new size
    QByteArray data;
    QString text; // for the report
    bool changesFolder() const { return kind == Create || kind == Rename || kind == Unlink || kind == Link; }
};

// The folder as a file system keeps it: file names to inodes, inodes to content.
struct Folder
{
    QMap<QString, int> names;
    QHash<int, QByteArray> contents;
};

void applyToNames(QMap<QString, int> &names, const Call &call)
{
    if (call.kind == Call::Create) {
        names.insert(call.name, call.inode);
    } else if (call.kind == Call::Link) {
        names.insert(call.target, call.inode);
    } else if (call.kind == Call::Rename) {
        if (names.value(call.name, -1) == call.inode)
            names.remove(call.name);
        names.insert(call.target, call.inode);
    } else if (call.kind == Call::Unlink && names.value(call.name, -1) == call.inode) {
        names.remove(call.name);
    }
}

void applyToContent(QByteArray &content, const Call &call, bool zeros = false, qint64 keep = -1)
{
    if (call.kind == Call::Truncate) {
        content.resize(call.offset, '\0');
        return;
    }
    const qint64 length = keep < 0 ? call.data.size() : keep;
    if (content.size() < call.offset + length)
        content.resize(call.offset + length, '\0');
    const QByteArray data = zeros ? QByteArray(length, '\0') : call.data.left(length);
    content.replace(call.offset, length, data);
}

// Decodes strace's -xx text: every byte as \xNN.
QByteArray hex(QByteArrayView text)
{
    return QByteArray::fromHex(text.toByteArray().replace("\\x", ""));
}
QByteArray quoted(const QByteArray &argument)
{
    const qsizetype from = argument.indexOf('"');
    return hex(argument.mid(from + 1, argument.indexOf('"', from + 1) - from - 1));
}
// The path strace -y shows after a descriptor: 3</tmp/x>.
QString annotated(const QByteArray &argument)
{
    const qsizetype from = argument.indexOf('<');
    if (from < 0 || !argument.endsWith('>'))
        return {};
    return QFile::decodeName(hex(argument.mid(from + 1, argument.size() - from - 2)));
}

QByteArrayList arguments(const QByteArray &text)
{
    QByteArrayList list;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        depth += (c == '[' || c == '{' || c == '<') - (c == ']' || c == '}' || c == '>');
        if (depth == 0 && c == ',' && i + 1 < text.size() && text[i + 1] == ' ') {
            list << text.mid(start, i - start).trimmed();
            start = i + 2;
        }
    }
    return list << text.mid(start).trimmed();
}

// Turns strace's record into the calls on files directly in `folder`.
class Recording
{
public:
    Recording(const QString &folder, const Folder &before) : m_folder(folder), m_now(before)
    {
        for (const int inode : before.names)
            m_nextInode = std::max(m_nextInode, inode + 1);
    }

    QList<Call> calls;
    QString unmodelled;

    void add(const QByteArray &name, const QByteArray &argumentText, const QByteArray &result)
    {
        const QByteArrayList args = arguments(argumentText);
        const QString path = annotated(args.value(0));
        if (name == "openat")
            open(annotated(result), args.value(2));
        else if (name == "write" || name == "pwrite64")
            write(path, result.toLongLong(), args.value(1),
                  name == "pwrite64" ? args.value(3).toLongLong() : -1);
        else if (name == "ftruncate")
            record({Call::Truncate, m_now.names.value(path, -1), path, {}, args.value(1).toLongLong()}, path);
        else if (name == "fsync" || name == "fdatasync")
            record({path == m_folder ? Call::SyncFolder : Call::SyncFile, m_now.names.value(path, -1), path},
                   path);
        else if (name == "renameat" || name == "renameat2")
            rename(at(args.value(0), args.value(1)), at(args.value(2), args.value(3)));
        else if (name == "rename")
            rename(at({}, args.value(0)), at({}, args.value(1)));
        else if (name == "linkat")
            rename(at(args.value(0), args.value(1)), at(args.value(2), args.value(3)), Call::Link);
        else if (name == "link")
            rename(at({}, args.value(0)), at({}, args.value(1)), Call::Link);
        else if (name == "unlinkat" && !args.value(2).contains("AT_REMOVEDIR"))
            remove(at(args.value(0), args.value(1)));
        else if (name == "unlink")
            remove(at({}, args.value(0)));
        else if (std::any_of(args.cbegin(), args.cend(), [&](const QByteArray &arg) {
                     return inFolder(annotated(arg)) || inFolder(QFile::decodeName(quoted(arg)));
                 }))
            unmodelled = QString::fromLatin1(name + '(' + argumentText.left(200) + ')');
    }

private:
    QString at(const QByteArray &directory, const QByteArray &name) const
    {
        const QString file = QFile::decodeName(quoted(name));
        return QDir::cleanPath(file.startsWith(u'/') ? file : annotated(directory) + u'/' + file);
    }
    bool inFolder(const QString &path) const { return QFileInfo(path).path() == m_folder; }
    QString shortName(const QString &path) const { return QFileInfo(path).fileName(); }

    void record(Call call, const QString &path)
    {
        if (!inFolder(path) && call.kind != Call::SyncFolder)
            return;
        if (call.inode < 0 && call.kind != Call::SyncFolder && call.kind != Call::Create)
            return; // a file removed meanwhile
        if (call.kind == Call::Create)
            m_now.names.insert(path, call.inode);
        if (call.kind == Call::Write || call.kind == Call::Truncate)
            applyToContent(m_now.contents[call.inode], call);
        if (call.text.isEmpty()) {
            static const char *const verbs[] = {"create",    "rename", "unlink", "write",
                                                "ftruncate", "fsync",  "fsync",  "link"};
            call.text = QStringLiteral("%1(%2)").arg(QLatin1String(verbs[call.kind]), shortName(path));
        }
        calls << call;
    }

    void open(const QString &path, const QByteArray &flags)
    {
        if (!inFolder(path))
            return;
        if (!m_now.names.contains(path))
            record({Call::Create, m_nextInode++, path}, path);
        const int inode = m_now.names.value(path);
        if (flags.contains("O_TRUNC") && !m_now.contents.value(inode).isEmpty())
            record({Call::Truncate, inode, path, {}, 0}, path);
        m_positions[inode] = 0;
        m_appending[inode] = flags.contains("O_APPEND");
    }

    void write(const QString &path, qint64 written, const QByteArray &data, qint64 offset)
    {
        const int inode = m_now.names.value(path, -1);
        if (!inFolder(path) || inode < 0)
            return;
        if (quoted(data).size() < written)
            unmodelled = QStringLiteral("a write longer than strace shows");
        if (offset < 0)
            offset = m_appending.value(inode) ? m_now.contents.value(inode).size() : m_positions.value(inode);
        Call call{Call::Write, inode, path, {}, offset, quoted(data).left(written)};
        call.text = QStringLiteral("write(%1, %2 bytes at %3)").arg(shortName(path)).arg(written).arg(offset);
        record(call, path);
        m_positions[inode] = offset + written;
    }

    // A rename, or a second name for the file (a hard link), which keeps the first.
    void rename(const QString &from, const QString &to, Call::Kind kind = Call::Rename)
    {
        const int inode = m_now.names.value(from, -1);
        if (!inFolder(from) && !inFolder(to))
            return;
        if (!inFolder(from) || !inFolder(to) || inode < 0) {
            unmodelled = QStringLiteral("rename %1 to %2").arg(from, to);
            return;
        }
        Call call{kind, inode, from, to};
        call.text = QStringLiteral("%1(%2, %3)")
                        .arg(kind == Call::Link ? QStringLiteral("link") : QStringLiteral("rename"),
                             shortName(from), shortName(to));
        applyToNames(m_now.names, call);
        record(call, to);
    }

    void remove(const QString &path)
    {
        const Call call{Call::Unlink, m_now.names.value(path, -1), path};
        applyToNames(m_now.names, call);
        record(call, path);
    }

    QString m_folder;
    Folder m_now;
    int m_nextInode = 0;
    QHash<int, qint64> m_positions;
    QHash<int, bool> m_appending;
};

// Reads the files of a state as the program reads them; the result is compared, not shown whole.
using Reader = std::function<QByteArray(const QString &folder)>;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

QByteArray readStore(const QString &folder)
{
    return readFile(folder + QStringLiteral("/einstellungen.ini"));
}

QByteArray readDatabase(const QString &folder)
{
    QByteArray view;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("state"));
        db.setDatabaseName(folder + QStringLiteral("/filiale.db"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db.open() ? db : QSqlDatabase());
        if (!db.isOpen())
            view = "unreadable: " + db.lastError().text().toUtf8();
        else if (!query.exec(QStringLiteral(
                     "SELECT (SELECT group_concat(filiale || ',' || gv || ',' || herkunft, ';') "
                     "FROM absortieraufgabe), (SELECT * FROM pragma_integrity_check)")))
            view = "unreadable: " + query.lastError().text().toUtf8();
        else if (query.next())
            view = query.value(0).toByteArray() + " integrity " + query.value(1).toByteArray();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("state"));
    return view;
}

// A person reads the log's whole lines; the end of the last write may be torn, and that is all it may lose.
QByteArray readLog(const QString &folder)
{
    QByteArray view;
    for (const QString &name : {QStringLiteral("ordovant.log.1"), QStringLiteral("ordovant.log")}) {
        QByteArrayList lines = readFile(folder + u'/' + name).split('\n');
        lines.removeLast();
        view += name.toUtf8() + ":\n";
        for (const QByteArray &line : std::as_const(lines))
            view += line.contains('\0') ? QByteArray() : line + '\n';
    }
    return view;
}

QByteArray summary(const QByteArray &view)
{
    return view.size() <= 100 ? view : view.left(100) + "... (" + QByteArray::number(view.size()) + " bytes)";
}

// Runs `program` under strace in `folder` and returns the calls on its files.
QList<Call> record(const QString &folder, const QString &trace, const Folder &before, const QString &program,
                   const QStringList &args, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    // Every call that changes a file; those it does not model fail the row instead of passing unseen.
    const QString calls = QStringLiteral("openat,write,pwrite64,ftruncate,fsync,fdatasync,renameat,renameat2,"
                                         "unlinkat,?open,?creat,?rename,?unlink,?link,linkat,writev,pwritev,"
                                         "pwritev2,fallocate,copy_file_range,sendfile");
    process.start(QStringLiteral("strace"),
                  QStringLiteral("-f -qq -z -y -xx -s 4194304 -e signal=none -o").split(u' ')
                      << trace << QStringLiteral("-e") << QStringLiteral("trace=") + calls
                      << QStringLiteral("--") << program << args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning("strace or the program failed: %s", qPrintable(process.errorString()));
        return {};
    }
    QFile file(trace);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Recording recording(folder, before);
    QHash<QByteArray, QByteArray> unfinished; // by process id
    static const QRegularExpression resumed(QStringLiteral("^<\\.\\.\\. \\w+ resumed>"));
    while (!file.atEnd()) {
        QByteArray line = file.readLine().trimmed();
        const qsizetype blank = line.indexOf(' ');
        const QByteArray pid = line.left(blank);
        line = line.mid(blank + 1).trimmed();
        if (line.endsWith("<unfinished ...>")) {
            unfinished.insert(pid, line.chopped(16));
            continue;
        }
        if (const auto match = resumed.match(QString::fromLatin1(line.left(60))); match.hasMatch())
            line = unfinished.take(pid) + line.mid(match.capturedLength());
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(") = ");
        if (open <= 0 || close < open)
            continue;
        recording.add(line.left(open), line.mid(open + 1, close - open - 1), line.mid(close + 4));
    }
    if (!recording.unmodelled.isEmpty())
        qWarning("a call the check does not model: %s", qPrintable(recording.unmodelled));
    return recording.unmodelled.isEmpty() ? recording.calls : QList<Call>();
}

// The result of a check: how many states were read, and the first one that was wrong.
struct Verdict
{
    int choices = 0; // of what a crash keeps, each making a state
    int states = 0;  // different states among them
    QString failure;
};

class CrashStates
{
public:
    CrashStates(const QStringList &watched, const Reader &reader) : m_watched(watched), m_reader(reader) {}

    Verdict check(const Folder &before, const QList<Call> &calls)
    {
        // The states the save passes through when nothing goes wrong.
        m_calls = &calls;
        Folder now = before;
        m_initial = view(now);
        m_accepted.insert(m_initial);
        for (const Call &call : calls) {
            applyToNames(now.names, call);
            if (call.kind == Call::Write || call.kind == Call::Truncate)
                applyToContent(now.contents[call.inode], call);
            m_accepted.insert(view(now));
        }
        Folder durable = before;
        QList<int> pendingFolder;
        QHash<int, QList<int>> pendingData;
        for (qsizetype k = 0; k <= calls.size() && m_failure.isEmpty(); ++k) {
            if (k > 0) {
                const Call &call = calls[k - 1];
                if (call.changesFolder()) {
                    pendingFolder << int(k - 1);
                } else if (call.kind == Call::Write || call.kind == Call::Truncate) {
                    pendingData[call.inode] << int(k - 1);
                } else if (call.kind == Call::SyncFile) {
                    for (const int index : pendingData.take(call.inode))
                        applyToContent(durable.contents[call.inode], calls[index]);
                } else {
                    for (const int index : std::as_const(pendingFolder))
                        applyToNames(durable.names, calls[index]);
                    pendingFolder.clear();
                }
            }
            m_ended = k == calls.size();
            m_point = k == 0 ? QStringLiteral("before the first call")
                             : QStringLiteral("after call %1, %2").arg(k).arg(calls[k - 1].text);
            crashAt(durable, pendingFolder, pendingData);
        }
        return {m_choices, int(m_crashStates.size()), m_failure};
    }

private:
    QByteArray view(const Folder &state, QSet<QByteArray> *keys = nullptr)
    {
        QCryptographicHash key(QCryptographicHash::Sha256);
        for (const QString &name : m_watched) {
            const int inode = state.names.value(name, -1);
            key.addData(inode < 0 ? QByteArray("-") : QByteArray("+") + state.contents.value(inode));
            key.addData(QByteArray(1, '\0'));
        }
        const QByteArray id = key.result();
        if (keys)
            keys->insert(id);
        if (const auto known = m_views.constFind(id); known != m_views.constEnd())
            return *known;
        QTemporaryDir dir;
        for (const QString &name : m_watched) {
            QFile file(dir.filePath(QFileInfo(name).fileName()));
            if (state.names.contains(name) && file.open(QIODevice::WriteOnly))
                file.write(state.contents.value(state.names.value(name)));
        }
        return *m_views.insert(id, m_reader(dir.path()));
    }

    // Every choice of the folder's pending changes and of the pending data of each file they name.
    void crashAt(const Folder &durable, const QList<int> &pendingFolder,
                 const QHash<int, QList<int>> &pendingData)
    {
        QList<int> relevant;
        for (const int index : pendingFolder) {
            const Call &call = (*m_calls)[index];
            if (m_watched.contains(call.name) || m_watched.contains(call.target))
                relevant << index;
        }
        const bool anySubset = relevant.size() <= MaxChoices;
        const int choices = anySubset ? 1 << relevant.size() : int(relevant.size()) + 1;
        for (int choice = 0; choice < choices && m_failure.isEmpty(); ++choice) {
            Folder state = durable;
            QStringList kept;
            QStringList dropped;
            for (int i = 0; i < relevant.size(); ++i) {
                const Call &call = (*m_calls)[relevant[i]];
                if (anySubset ? (choice >> i & 1) : i < choice) {
                    applyToNames(state.names, call);
                    kept << call.text;
                } else {
                    dropped << call.text;
                }
            }
            QList<int> inodes;
            for (const QString &name : m_watched) {
                const int inode = state.names.value(name, -1);
                if (pendingData.contains(inode) && !inodes.contains(inode))
                    inodes << inode;
            }
            const QString folderText =
                QStringLiteral("the folder keeping [%1] and losing [%2]")
                    .arg(kept.join(QStringLiteral(", ")), dropped.join(QStringLiteral(", ")));
            withData(state, inodes, pendingData, folderText);
        }
    }

    // Per file: the first j of its pending writes kept, all at full size as zeros, or the last one torn.
    void withData(const Folder &state, QList<int> inodes, const QHash<int, QList<int>> &pendingData,
                  const QString &how)
    {
        if (!m_failure.isEmpty())
            return;
        if (inodes.isEmpty()) {
            ++m_choices;
            const QByteArray seen = view(state, &m_crashStates);
            // A save that has ended is kept; only what came after the old state may still be lost.
            if (m_ended && seen == m_initial)
                m_failure =
                    QStringLiteral("A crash %1, when the program has ended, with %2, brings back the state "
                                   "before the save")
                        .arg(m_point, how);
            else if (!m_accepted.contains(seen))
                m_failure =
                    QStringLiteral("A crash %1, with %2, leaves a state the save never passes "
                                   "through; it reads as: %3")
                        .arg(m_point, how,
                             seen.isEmpty() ? QStringLiteral("(nothing)") : QString::fromUtf8(summary(seen)));
            return;
        }
        const int inode = inodes.takeFirst();
        const QList<int> &pending = pendingData[inode];
        const QByteArray base = state.contents.value(inode);
        for (int variant = 0; variant <= pending.size() + 2; ++variant) {
            Folder next = state;
            QByteArray &content = next.contents[inode];
            content = base;
            for (int i = 0; i < pending.size() && (variant > pending.size() || i < variant); ++i) {
                const Call &call = (*m_calls)[pending[i]];
                const bool torn = variant == pending.size() + 2 && i == pending.size() - 1;
                applyToContent(content, call, variant == pending.size() + 1,
                               torn ? call.data.size() / 2 : -1);
            }
            const int n = int(pending.size());
            const int named = pending[std::min(variant, n - 1)];
            const QString call = QStringLiteral("call %1, %2").arg(named + 1).arg((*m_calls)[named].text);
            const QString what =
                variant < n ? QStringLiteral("%1 of its %2 writes since its last fsync kept, losing %3")
                                  .arg(variant)
                                  .arg(n)
                                  .arg(call)
                : variant == n ? QStringLiteral("every write kept")
                : variant == n + 1
                    ? QStringLiteral("zeros in place of its writes since its last fsync, up to %1").arg(call)
                    : QStringLiteral("the second half of %1 cut off").arg(call);
            const QString name = QFileInfo(next.names.key(inode)).fileName();
            withData(next, inodes, pendingData, how + QStringLiteral(", %1 with %2").arg(name, what));
        }
    }

    QStringList m_watched;
    Reader m_reader;
    QSet<QByteArray> m_accepted;
    QHash<QByteArray, QByteArray> m_views;
    const QList<Call> *m_calls = nullptr;
    QString m_point;
    QByteArray m_initial;
    bool m_ended = false;
    QSet<QByteArray> m_crashStates;
    int m_choices = 0;
    QString m_failure;
};

// The files of `folder` as they are before the save: all of them on disk.
Folder scan(const QString &folder)
{
    Folder state;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        const int inode = int(state.names.size());
        state.names.insert(file.filePath(), inode);
        state.contents.insert(inode, readFile(file.filePath()));
    }
    return state;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

enum Replaced { Store, Database, Log };

} // namespace

class TestCrashStates : public QObject
{
    Q_OBJECT

private slots:
    void everyCrashStateIsOldOrNew_data();
    void everyCrashStateIsOldOrNew();
};

void TestCrashStates::everyCrashStateIsOldOrNew_data()
{
    QTest::addColumn<int>("replaced");
    QTest::newRow("a save of the settings store") << int(Store);
    QTest::newRow("ordovant-db create --force over a branch database") << int(Database);
    QTest::newRow("the rotation of the log") << int(Log);
}

void TestCrashStates::everyCrashStateIsOldOrNew()
{
    QFETCH(int, replaced);
    QTemporaryDir dir;
    QTemporaryDir traceDir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORDOVANT_HOME"), folder);
    // LeakSanitizer cannot work in a traced process.
    const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), (sanitizer.isEmpty() ? QString() : sanitizer + u':') +
                                                           QStringLiteral("detect_leaks=0"));
    QString program = QCoreApplication::applicationFilePath();
    QStringList arguments;
    QStringList watched;
    Reader reader;
    if (replaced == Store) {
        QVERIFY(writeFile(folder + QStringLiteral("/einstellungen.ini"),
                          "[ORDOVANT]\nDM\\07GV=ALT\nDM\\07HERKUNFT=O\n"));
        arguments = QStringList{StoreSaverSwitch, QStringLiteral("NEU")};
        watched = QStringList{folder + QStringLiteral("/einstellungen.ini")};
        reader = readStore;
    } else if (replaced == Database) {
        program = QStringLiteral(ORDOVANT_DB_TOOL);
        const QString database = folder + QStringLiteral("/filiale.db");
        QCOMPARE(QProcess::execute(program, {QStringLiteral("create"), database, QStringLiteral("--task"),
                                             QStringLiteral("7,2,53")}),
                 0);
        arguments = QStringList{QStringLiteral("create"),  database,
                                QStringLiteral("--force"), QStringLiteral("--task"),
                                QStringLiteral("7,8,0"),   QStringLiteral("--task"),
                                QStringLiteral("9,1,1")};
        watched = QStringList{database};
        reader = readDatabase;
    } else {
        QByteArray full;
        while (full.size() < LogLimit)
            full += "2026-01-01T08:00:00 07 T.Schreiber: " + QByteArray(80, 'x') + '\n';
        const QString log = folder + QStringLiteral("/ordovant.log");
        QVERIFY(writeFile(log, full));
        QVERIFY(writeFile(log + QStringLiteral(".1"), "aeltere Generation\n"));
        arguments = QStringList{LogWriterSwitch, log};
        watched = QStringList{log, log + QStringLiteral(".1")};
        reader = readLog;
    }
    const Folder before = scan(folder);
    const QList<Call> calls =
        record(folder, traceDir.filePath(QStringLiteral("strace")), before, program, arguments, environment);
    QVERIFY2(!calls.isEmpty(), "no file-system calls recorded");
    const Verdict verdict = CrashStates(watched, reader).check(before, calls);
    qInfo("%d crash states (%d different) checked after %d calls", verdict.choices, verdict.states,
          int(calls.size()));
    QVERIFY2(verdict.failure.isEmpty(), qPrintable(verdict.failure));
    QVERIFY(verdict.states > 1);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // A save of the store in ORDOVANT_HOME, as the program makes it.
    if (arguments.size() == 3 && arguments[1] == StoreSaverSwitch) {
        try {
            StandaloneHost host;
            host.createSimpleMask(QStringLiteral("ORDOVANT"), QStringLiteral("DM"), QString(), false, true,
                                  nullptr, QString(), QString())
                ->writeLocal(QStringLiteral("07GV"), arguments[2]);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    // One report into a full log, which rotates it first.
    if (arguments.size() == 3 && arguments[1] == LogWriterSwitch) {
        HostLog(arguments[2])
            .write(QStringLiteral("07"), QStringLiteral("T.Schreiber"), QStringLiteral("neu"), false);
        return 0;
    }
    TestCrashStates test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashstates.moc"
