// Settings written through the data module are not lost: not when several workstations write one
// shared store at the same time, and not when a write fails.

#include "support/standalonehosthome.h"

#include "check/ordovantdm.h"
#include "support/branchfixture.h"
#include "support/hostfiles.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int Writers = 5;
constexpr int Rounds = 50;
// Only a guard against a hang: under Wine every save of the shared store costs some 150 ms, and the
// writers take turns.
constexpr int WriterTimeoutMs = 300000;
// The writers crowd one server on purpose; the time limit of a step is not what this test is about,
// and a sanitizer build on a busy machine can spend the fixture's few seconds before its first query.
constexpr int WriterZeitlimit = 60;

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray hostIni(const QString &terminal, const QString &storePath)
{
    return QStringLiteral("[Terminal]\nID=%1\n[Warenabgabe]\n17=42\n[Einstellungen]\nPfad=%2\n")
        .arg(terminal, storePath)
        .toUtf8();
}

// "GV=..." and "HERKUNFT=..." lines of a writer: the last values it wrote.
QMap<QString, QString> lastValues(const QByteArray &output)
{
    QMap<QString, QString> values;
    // A Windows program's standard output ends its lines with CR LF.
    for (const QString &line : QString::fromUtf8(output).remove(u'\r').split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

// Prepares a host directory of terminal 07 whose store cannot take a write; returns why the row
// cannot run here, or nothing.
struct Preparation
{
    QString (*run)(const QString &directory) = nullptr;
    void (*cleanUp)(const QString &directory) = nullptr;
};

QString blockedDirectory(const QString &directory)
{
    writeFile(directory + QStringLiteral("/host.ini"),
              hostIni(QStringLiteral("07"), QStringLiteral("sperre/einstellungen.ini")));
    writeFile(directory + QStringLiteral("/sperre"), "a file where the store's directory should be\n");
    return {};
}

QString storeIsADirectory(const QString &directory)
{
    writeFile(directory + QStringLiteral("/host.ini"),
              hostIni(QStringLiteral("07"), QStringLiteral("einstellungen.ini")));
    QDir(directory).mkdir(QStringLiteral("einstellungen.ini"));
    return {};
}

QString garbageStore(const QString &directory)
{
    writeFile(directory + QStringLiteral("/host.ini"),
              hostIni(QStringLiteral("07"), QStringLiteral("einstellungen.ini")));
    const char garbage[] = "[ORDOVANT/DM]\nGV07=KUNDBEST\n\0\xff\xfe binary tail";
    writeFile(directory + QStringLiteral("/einstellungen.ini"), QByteArray(garbage, sizeof garbage - 1));
    return {};
}

// host.ini itself as the store, by its name or through a link; it holds no backslash, so only its
// name tells that it is no store.
QString storeIsHostIni(const QString &directory, const QString &storeName)
{
    writeFile(directory + QStringLiteral("/host.ini"),
              hostIni(QStringLiteral("07"), storeName) + "; Kommentar, den ein Speichern verlöre\n");
    return {};
}

QString storeIsHostIniByName(const QString &directory)
{
    return storeIsHostIni(directory, QStringLiteral("host.ini"));
}

QString storeIsHostIniThroughALink(const QString &directory)
{
#ifdef Q_OS_WIN
    return QStringLiteral("symbolic links need rights of their own on Windows");
#endif
    if (!QFile::link(directory + QStringLiteral("/host.ini"), directory + QStringLiteral("/verweis.ini")))
        return QStringLiteral("no symbolic links here");
    return storeIsHostIni(directory, QStringLiteral("verweis.ini"));
}

#ifdef Q_OS_UNIX
// Why a small file system cannot be mounted at `point`, or nothing when it is.
QString mountSmall(const QString &point, const QStringList &mount)
{
    if (::geteuid() != 0)
        return QStringLiteral("mounting a small file system needs root");
    QDir().mkpath(point);
    QProcess mounting;
    mounting.setProcessChannelMode(QProcess::MergedChannels);
    mounting.start(QStringLiteral("mount"), mount + QStringList{point});
    if (!mounting.waitForFinished(60000) || mounting.exitCode() != 0)
        return QStringLiteral("mount is not possible here: ") + QString::fromLocal8Bit(mounting.readAll());
    return {};
}

// Fills the file system at `point` up to its last block, then gives back `room` bytes.
void fill(const QString &point, qint64 room)
{
    QFile filler(point + QStringLiteral("/fueller"));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    const QByteArray block(1024, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.resize(qMax<qint64>(0, filler.size() - room));
    filler.close();
    ::sync();
}

const QStringList Tmpfs{QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                        QStringLiteral("size=64k"), QStringLiteral("tmpfs")};

// The store of two workstations and 300 keys of another program (about 6 KiB) at `store`, in a host
// directory whose host.ini names it.
void largeStore(const QString &directory, const QString &store)
{
    QByteArray content("[ORDOVANT]\nDM\\GV07=KUNDBEST|RESERV\nDM\\GV08=RESERV\nDM\\HERKUNFT07=O|K\n[ANDERES]\n");
    for (int n = 0; n < 300; ++n)
        content += QStringLiteral("Schluessel%1=Wert%1\n").arg(n, 3, 10, QLatin1Char('0')).toUtf8();
    writeFile(directory + QStringLiteral("/host.ini"), hostIni(QStringLiteral("07"), store));
    writeFile(directory + u'/' + store, content);
}

// The store's lock replaced by what a user of the shared folder can put there.
template <int (*Make)(const char *)> QString lockIs(const QString &directory)
{
    storeIsHostIni(directory, QStringLiteral("einstellungen.ini"));
    writeFile(directory + QStringLiteral("/einstellungen.ini"), "[ORDOVANT/DM]\nGV07=KUNDBEST|RESERV\n");
    return Make(QFile::encodeName(directory + QStringLiteral("/einstellungen.ini.schreibsperre"))
                    .constData()) == 0
               ? QString()
               : QStringLiteral("cannot make the lock's stand-in");
}
int fifo(const char *path)
{
    return ::mkfifo(path, 0666);
}
int folder(const char *path)
{
    return ::mkdir(path, 0777);
}
int linkToNothing(const char *path)
{
    return ::symlink("weg", path);
}

// A user's link as the store, to a file of root's that looks like INI (a NetworkManager.conf).
QString storeIsAUsersLinkToRootsFile(const QString &directory)
{
    storeIsHostIni(directory, QStringLiteral("einstellungen.ini"));
    writeFile(directory + QStringLiteral("/system.conf"), "[main]\nplugins=ifupdown,keyfile\n");
    const QByteArray link = QFile::encodeName(directory + QStringLiteral("/einstellungen.ini"));
    if (::geteuid() != 0 || ::symlink("system.conf", link.constData()) != 0 ||
        ::lchown(link.constData(), 1001, 1001) != 0)
        return QStringLiteral("a link of another user needs root to make");
    return {};
}

// host.ini by another name that only the file tells: a second name, or other letters on FAT.
QString storeIsHostIniByASecondName(const QString &directory)
{
    storeIsHostIni(directory, QStringLiteral("zweitname.ini"));
    return ::link(QFile::encodeName(directory + QStringLiteral("/host.ini")).constData(),
                  QFile::encodeName(directory + QStringLiteral("/zweitname.ini")).constData()) == 0
               ? QString()
               : QStringLiteral("no hard links here");
}

QString storeIsHostIniOnFat(const QString &directory)
{
    QProcess mkfs;
    mkfs.start(QStringLiteral("mkfs.vfat"),
               {QStringLiteral("-C"), directory + QStringLiteral(".vfat"), QStringLiteral("1024")});
    if (!mkfs.waitForFinished(60000) || mkfs.exitCode() != 0)
        return QStringLiteral("mkfs.vfat (package dosfstools) is not available");
    const QString why = mountSmall(
        directory, {QStringLiteral("-o"), QStringLiteral("loop"), directory + QStringLiteral(".vfat")});
    return why.isEmpty() ? storeIsHostIni(directory, QStringLiteral("HOST.INI")) : why;
}
#endif

// The store on a small file system of its own at <directory>/voll, filled up but for `room` bytes:
// the lock file's block and part of what the new store needs.
QString fullFileSystem(const QString &directory, const QStringList &mount, qint64 room)
{
#ifdef Q_OS_UNIX
    const QString point = directory + QStringLiteral("/voll");
    if (const QString why = mountSmall(point, mount); !why.isEmpty())
        return why;
    largeStore(directory, QStringLiteral("voll/einstellungen.ini"));
    fill(point, room);
    return {};
#else
    Q_UNUSED(directory);
    Q_UNUSED(mount);
    Q_UNUSED(room);
    return QStringLiteral("mounting a small file system needs Linux");
#endif
}

QString fullTmpfs(const QString &directory)
{
#ifdef Q_OS_UNIX
    return fullFileSystem(directory, Tmpfs, 2 * 4096);
#else
    return fullFileSystem(directory, {}, 0);
#endif
}

QString ext4Image(const QString &directory)
{
    return directory + QStringLiteral(".ext4");
}

QString fullExt4(const QString &directory)
{
#ifndef Q_OS_UNIX
    return fullFileSystem(directory, {}, 0);
#endif
    const QString image = ext4Image(directory);
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(1024 * 1024))
        return QStringLiteral("cannot make a file system image");
    file.close();
    QProcess mkfs;
    mkfs.start(QStringLiteral("mkfs.ext4"), {QStringLiteral("-q"), QStringLiteral("-F"), image});
    if (!mkfs.waitForFinished(60000) || mkfs.exitCode() != 0)
        return QStringLiteral("mkfs.ext4 is not available");
    return fullFileSystem(directory, {QStringLiteral("-o"), QStringLiteral("loop"), image}, 1024 + 2048);
}

// QSettings writes its working copy into the folder for temporary files: that folder full but for
// three pages, so that the copy is read but its new version cut short.
QString fullTemporaryFolder(const QString &directory)
{
#ifdef Q_OS_UNIX
    const QString point = directory + QStringLiteral("-tmp");
    if (const QString why = mountSmall(point, Tmpfs); !why.isEmpty())
        return why;
    largeStore(directory, QStringLiteral("einstellungen.ini"));
    fill(point, 3 * 4096);
    qputenv("TMPDIR", QFile::encodeName(point));
    return {};
#else
    return fullFileSystem(directory, {}, 0);
#endif
}

void unmount(const QString &directory)
{
    qunsetenv("TMPDIR");
    for (const QString &point :
         {directory + QStringLiteral("/voll"), directory + QStringLiteral("-tmp"), directory}) {
        QProcess unmounting;
        unmounting.start(QStringLiteral("umount"), {point});
        unmounting.waitForFinished(60000);
    }
    QDir().rmdir(directory + QStringLiteral("-tmp"));
    QFile::remove(ext4Image(directory));
    QFile::remove(directory + QStringLiteral(".vfat"));
}

QString writeProtectedStore(const QString &directory)
{
    writeFile(directory + QStringLiteral("/host.ini"),
              hostIni(QStringLiteral("07"), QStringLiteral("store/einstellungen.ini")));
    const QString store = directory + QStringLiteral("/store/einstellungen.ini");
    writeFile(store, "[ORDOVANT/DM]\nGV07=KUNDBEST|RESERV\n");
    QFile::setPermissions(store, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(directory + QStringLiteral("/store"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    if (QFileInfo(store).isWritable())
        return QStringLiteral("file permissions do not stop this user (root) from writing");
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Preparation)

class TestNothingLost : public QObject
{
    Q_OBJECT

private slots:
    // Many workstations, one store
    void concurrentWritersKeepEveryValue_data();
    void concurrentWritersKeepEveryValue();

    // A write that fails
    void failedWriteIsReportedAndKeepsTheStore_data();
    void failedWriteIsReportedAndKeepsTheStore();
};

void TestNothingLost::concurrentWritersKeepEveryValue_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("throughLink"); // half the writers name the INI file through a symbolic link
    QTest::addColumn<bool>("onShare");     // the INI file is on a network share, \\server\share\...
    QTest::newRow("INI file") << QStringLiteral("QSQLITE") << false << false;
    QTest::newRow("INI file through a link and by its real path") << QStringLiteral("QSQLITE") << true << false;
    QTest::newRow("INI file on a network share") << QStringLiteral("QSQLITE") << false << true;
    QTest::newRow("server table") << QStringLiteral("QPSQL") << false << false;
    QTest::newRow("server table through ODBC") << QStringLiteral("QODBC-PostgreSQL") << false << false;
    QTest::newRow("MariaDB table through ODBC") << QStringLiteral("QODBC-MariaDB") << false << false;
}

void TestNothingLost::concurrentWritersKeepEveryValue()
{
    QFETCH(QString, driver);
    QFETCH(bool, throughLink);
    QFETCH(bool, onShare);
    if (const QString reason = BranchFixture::unavailable(driver); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QString store = root.filePath(QStringLiteral("gemeinsam/einstellungen.ini"));
#ifdef Q_OS_WIN
    if (throughLink)
        QSKIP("Symbolic links need rights of their own on Windows");
    // Wine serves \\server\share from a folder of its prefix.
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (onShare && prefix.isEmpty())
        QSKIP("A network share is made here only under Wine");
    const QString share = QStringLiteral("Z:%1/dosdevices/unc/ordovant-test/freigabe").arg(prefix);
    const QString folder = QFileInfo(root.path()).fileName();
    const auto removeShare = qScopeGuard([&] { QDir(share + u'/' + folder).removeRecursively(); });
    if (onShare) {
        QVERIFY(QDir().mkpath(share + u'/' + folder));
        store = QStringLiteral("\\\\ordovant-test\\freigabe\\%1\\einstellungen.ini").arg(folder);
    }
#else
    if (onShare)
        QSKIP("Network paths are Windows paths");
#endif
    BranchFixture branch(driver, root.path());
    QVERIFY2(branch.create({}), qPrintable(branch.error()));
    // Values of a workstation that does not take part and of another program sharing the store.
    QVERIFY(writeFile(store, "[ANDERES]\nSchluessel=bleibt\n[ORDOVANT/DM]\nGV99=RESERV|FILUML\n"));
    QVERIFY(!branch.isServer() ||
            branch.exec(QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) "
                                       "VALUES (42, 'ORDOVANT/DM/GV99', 'RESERV|FILUML')")));
    const QString link = root.filePath(QStringLiteral("verweis.ini"));
    QVERIFY(!throughLink || QFile::link(store, link));
    const auto hostIni = [&](const QString &terminal) {
        const bool linked = throughLink && terminal.back().digitValue() % 2 == 1;
        return ::hostIni(terminal, linked ? link : store) +
               branch.hostIniSection(QStringLiteral("ordovant"), WriterZeitlimit) +
               branch.settingsInDatabase();
    };

    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < Writers; ++i) {
        const QString terminal = QStringLiteral("T%1").arg(i);
        const QString home = root.filePath(terminal);
        QVERIFY(writeFile(home + QStringLiteral("/host.ini"), hostIni(terminal)));
        auto writer = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ORDOVANT_HOME"), home);
        writer->setProcessEnvironment(environment);
        writer->start(QStringLiteral(SETTINGS_WRITER), {terminal, QString::number(Rounds)});
        QVERIFY2(writer->waitForStarted(WriterTimeoutMs), qPrintable(writer->errorString()));
        writers.push_back(std::move(writer));
    }
    // The start line goes out to all writers now, not when each one is waited for.
    for (const auto &writer : writers) {
        writer->write("los\n");
        QVERIFY(writer->waitForBytesWritten(WriterTimeoutMs));
        writer->closeWriteChannel();
    }

    QMap<QString, QMap<QString, QString>> written;
    for (int i = 0; i < Writers; ++i) {
        QProcess &writer = *writers[i];
        QVERIFY2(writer.waitForFinished(WriterTimeoutMs), "a writer did not finish");
        const QByteArray errors = writer.readAllStandardError();
        QVERIFY2(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0, errors.constData());
        written.insert(QStringLiteral("T%1").arg(i), lastValues(writer.readAllStandardOutput()));
    }

    // Every workstation reads its own last values through the data module.
    const auto leaveHome = qScopeGuard([] { qunsetenv("ORDOVANT_HOME"); });
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        const QString home = root.filePath(it.key());
        qputenv("ORDOVANT_HOME", QFile::encodeName(home));
        InstalledStandaloneHost host;
        TDMOrdovant dataModule;
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("<none>")),
                 it->value("GV"));
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("HERKUNFT"), QStringLiteral("<none>")),
                 it->value("HERKUNFT"));
        QVERIFY2(HostFiles::logLines(home).isEmpty(), qPrintable(HostFiles::logLines(home).join(u'\n')));
    }
    const QSettings shared(store, QSettings::IniFormat);
    QCOMPARE(shared.value(QStringLiteral("ANDERES/Schluessel")).toString(), QStringLiteral("bleibt"));
    // The workstation that did not take part still reads its own value.
    const QString home = root.filePath(QStringLiteral("T99"));
    QVERIFY(writeFile(home + QStringLiteral("/host.ini"), hostIni(QStringLiteral("99"))));
    qputenv("ORDOVANT_HOME", QFile::encodeName(home));
    InstalledStandaloneHost host;
    TDMOrdovant dataModule;
    QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("RESERV|FILUML"));
}

void TestNothingLost::failedWriteIsReportedAndKeepsTheStore_data()
{
    QTest::addColumn<Preparation>("prepare");
    QTest::addColumn<QString>("stored"); // what a read gives, before and after the write
    QTest::addColumn<bool>("readFails"); // the store cannot even be read
    QTest::addColumn<QString>("reason"); // in the write's report

    QTest::newRow("store in a directory that is a file")
        << Preparation{blockedDirectory} << "KUNDBEST" << false << QString();
    QTest::newRow("store is a directory") << Preparation{storeIsADirectory} << "" << true << QString();
    QTest::newRow("store holds binary garbage") << Preparation{garbageStore} << "" << true << QString();
    QTest::newRow("store write-protected")
        << Preparation{writeProtectedStore} << "KUNDBEST|RESERV" << false << QString();
    QTest::newRow("store is host.ini")
        << Preparation{storeIsHostIniByName} << "KUNDBEST" << false << QString();
    QTest::newRow("store is host.ini through a link")
        << Preparation{storeIsHostIniThroughALink} << "KUNDBEST" << false << QString();
    // The new store cannot be written whole.
    QTest::newRow("store on a full tmpfs")
        << Preparation{fullTmpfs, unmount} << "KUNDBEST|RESERV" << false << QString();
    QTest::newRow("store on a full ext4")
        << Preparation{fullExt4, unmount} << "KUNDBEST|RESERV" << false << QString();
    QTest::newRow("temporary folder full")
        << Preparation{fullTemporaryFolder, unmount} << "KUNDBEST|RESERV" << false << QString();
#ifdef Q_OS_UNIX
    // What another user of a shared folder can put in the way.
    QTest::newRow("lock is a FIFO") << Preparation{lockIs<fifo>} << "KUNDBEST|RESERV" << false << "FIFO";
    QTest::newRow("lock is a folder")
        << Preparation{lockIs<folder>} << "KUNDBEST|RESERV" << false << "Ordner";
    QTest::newRow("lock is a link that leads nowhere")
        << Preparation{lockIs<linkToNothing>} << "KUNDBEST|RESERV" << false << "ins Leere";
    QTest::newRow("store is a user's link to root's file")
        << Preparation{storeIsAUsersLinkToRootsFile} << "KUNDBEST" << false << "anderer Benutzer";
    QTest::newRow("store is host.ini by a second name")
        << Preparation{storeIsHostIniByASecondName} << "KUNDBEST" << false << "host.ini selbst";
    QTest::newRow("store is host.ini in other letters on FAT")
        << Preparation{storeIsHostIniOnFat, unmount} << "KUNDBEST" << false << "host.ini selbst";
#endif
}

void TestNothingLost::failedWriteIsReportedAndKeepsTheStore()
{
    QFETCH(Preparation, prepare);
    QFETCH(QString, stored);
    QFETCH(bool, readFails);
    QFETCH(QString, reason);

    StandaloneHostHome dir;
    QVERIFY(dir.isValid());
    // A write-protected directory would outlive the test.
    const auto unprotect = qScopeGuard([&] {
        QFile::setPermissions(dir.filePath(QStringLiteral("store")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (prepare.cleanUp)
            prepare.cleanUp(dir.path());
    });
    const QString skipReason = prepare.run(dir.path());
    if (!skipReason.isEmpty())
        QSKIP(qPrintable(skipReason));
    const QMap<QString, QString> before = HostFiles::snapshot(dir.path());
    const QString readLabel = QStringLiteral("TDMOrdovant.Einstellung_laden");
    const QString writeLabel = QStringLiteral("TDMOrdovant.Einstellung_speichern");

    {
        InstalledStandaloneHost host;
        TDMOrdovant dataModule;
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), stored);
        QCOMPARE(HostFiles::hasReport(HostFiles::logLines(dir.path()), QStringLiteral("07"), readLabel),
                 readFails);

        dataModule.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML|RESERV"));
        QVERIFY2(
            HostFiles::hasReport(HostFiles::logLines(dir.path()), QStringLiteral("07"), writeLabel, reason),
            qPrintable(HostFiles::logLines(dir.path()).join(u'\n')));
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), stored);
    }

    const QMap<QString, QString> after = HostFiles::snapshot(dir.path());
    QVERIFY2(after == before, qPrintable(HostFiles::describeChanges(before, after)));
}

QTEST_GUILESS_MAIN(TestNothingLost)
#include "tst_nothinglost.moc"
