// Settings written through the data module are not lost: not when several workstations write one
// shared store at the same time, and not when a write fails.

#include "check/ordovantdm.h"
#include "support/branchfixture.h"
#include "support/hostfiles.h"
#include "support/programrun.h"
#include "support/standalonehosthome.h"

#include <QScopeGuard>
#include <QSettings>
#include <QtTest>

#include <memory>
#include <vector>

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

// host.ini itself as the store, by the name given; it holds no backslash, so only its name tells
// that it is no store.
QByteArray hostIniAsStore(const QString &storeName)
{
    return hostIni(QStringLiteral("07"), storeName) + "; Kommentar, den ein Speichern verlöre\n";
}

// The store of two workstations and 300 keys of another program (about 6 KiB).
QByteArray largeStore()
{
    QByteArray content(
        "[ORDOVANT]\nDM\\GV07=KUNDBEST|RESERV\nDM\\GV08=RESERV\nDM\\HERKUNFT07=O|K\n[ANDERES]\n");
    for (int n = 0; n < 300; ++n)
        content += QStringLiteral("Schluessel%1=Wert%1\n").arg(n, 3, 10, QLatin1Char('0')).toUtf8();
    return content;
}

// The large store on a small file system of its own at voll/, filled up but for `room` bytes: the
// lock file's block and part of what the new store needs.
HostSetup onAFullFileSystem(const QString &type, int kib, qint64 room)
{
    return {.hostIni = hostIni(QStringLiteral("07"), QStringLiteral("voll/einstellungen.ini")),
            .entries = {HostSetup::Entry::file("voll/einstellungen.ini", largeStore())},
            .mounts = {{.point = "voll", .type = type, .kib = kib, .room = room}}};
}

} // namespace

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
    QTest::newRow("INI file through a link and by its real path")
        << QStringLiteral("QSQLITE") << true << false;
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
    StandaloneHostHome root;
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

    std::vector<std::unique_ptr<StandaloneHostHome>> homes;
    std::vector<std::unique_ptr<ProgramRun>> writers;
    for (int i = 0; i < Writers; ++i) {
        const QString terminal = QStringLiteral("T%1").arg(i);
        homes.push_back(std::make_unique<StandaloneHostHome>());
        QVERIFY(homes.back()->writeIni(hostIni(terminal)));
        writers.push_back(std::make_unique<ProgramRun>(*homes.back()));
        QVERIFY2(writers.back()->start({"datenmodul", terminal.toUtf8(), QByteArray::number(Rounds)},
                                       ProgramRun::settingsWriter()),
                 qPrintable(writers.back()->process().errorString()));
    }
    // The start line goes out to all writers now, not when each one is waited for.
    for (const auto &writer : writers)
        QVERIFY(writer->sendStartLine());
    QMap<QString, QString> written[Writers];
    for (int i = 0; i < Writers; ++i) {
        QVERIFY2(writers[i]->finish(WriterTimeoutMs), "a writer did not finish");
        QVERIFY2(writers[i]->exitedCleanly(), writers[i]->standardError().constData());
        written[i] = lastValues(writers[i]->standardOutput());
    }

    // Every workstation reads its own last values through the data module.
    for (int i = 0; i < Writers; ++i) {
        qputenv("ORDOVANT_HOME", QFile::encodeName(homes[i]->path()));
        InstalledStandaloneHost host;
        TDMOrdovant dataModule;
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("<none>")),
                 written[i].value("GV"));
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("HERKUNFT"), QStringLiteral("<none>")),
                 written[i].value("HERKUNFT"));
        QVERIFY2(homes[i]->logLines().isEmpty(), qPrintable(homes[i]->logLines().join(u'\n')));
    }
    const QSettings shared(store, QSettings::IniFormat);
    QCOMPARE(shared.value(QStringLiteral("ANDERES/Schluessel")).toString(), QStringLiteral("bleibt"));
    // The workstation that did not take part still reads its own value.
    StandaloneHostHome home;
    QVERIFY(home.writeIni(hostIni(QStringLiteral("99"))));
    InstalledStandaloneHost host;
    TDMOrdovant dataModule;
    QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("RESERV|FILUML"));
}

void TestNothingLost::failedWriteIsReportedAndKeepsTheStore_data()
{
    QTest::addColumn<HostSetup>("setup"); // a host directory of terminal 07 whose store cannot take a write
    QTest::addColumn<QString>("stored");  // what a read gives, before and after the write
    QTest::addColumn<bool>("readFails");  // the store cannot even be read
    QTest::addColumn<QString>("reason");  // in the write's report
    using Entry = HostSetup::Entry;
    const auto storeAt = [](const QString &path) { return hostIni(QStringLiteral("07"), path); };
    const QByteArray ownStore = "[ORDOVANT/DM]\nGV07=KUNDBEST|RESERV\n";
    const char garbage[] = "[ORDOVANT/DM]\nGV07=KUNDBEST\n\0\xff\xfe binary tail";

    QTest::newRow("store in a directory that is a file")
        << HostSetup{.hostIni = storeAt("sperre/einstellungen.ini"),
                     .entries = {Entry::file("sperre", "a file where the store's directory should be\n")}}
        << "KUNDBEST" << false << QString();
    QTest::newRow("store is a directory")
        << HostSetup{.hostIni = storeAt("einstellungen.ini"), .entries = {Entry::folder("einstellungen.ini")}}
        << "" << true << QString();
    QTest::newRow("store holds binary garbage") << HostSetup{.hostIni = storeAt("einstellungen.ini"),
                                                             .store = QByteArray(garbage, sizeof garbage - 1)}
                                                << "" << true << QString();
    QTest::newRow("store write-protected")
        << HostSetup{.hostIni = storeAt("store/einstellungen.ini"),
                     .entries = {Entry::file("store/einstellungen.ini", ownStore, 0444),
                                 Entry::change("store", 0550)}}
        << "KUNDBEST|RESERV" << false << QString();
    QTest::newRow("store is host.ini")
        << HostSetup{.hostIni = hostIniAsStore("host.ini")} << "KUNDBEST" << false << QString();
    QTest::newRow("store is host.ini through a link")
        << HostSetup{.hostIni = hostIniAsStore("verweis.ini"),
                     .entries = {Entry::link("verweis.ini", "host.ini")}}
        << "KUNDBEST" << false << QString();
    // The new store cannot be written whole.
    QTest::newRow("store on a full tmpfs")
        << onAFullFileSystem("tmpfs", 64, 2 * 4096) << "KUNDBEST|RESERV" << false << QString();
    QTest::newRow("store on a full ext4")
        << onAFullFileSystem("ext4", 1024, 1024 + 2048) << "KUNDBEST|RESERV" << false << QString();
    // QSettings writes its working copy into the folder for temporary files: that folder full but for
    // three pages, so that the copy is read but its new version cut short.
    QTest::newRow("temporary folder full") << HostSetup{.hostIni = storeAt("einstellungen.ini"),
                                                        .store = largeStore(),
                                                        .mounts = {{.point = "-tmp",
                                                                    .type = "tmpfs",
                                                                    .kib = 64,
                                                                    .room = 3 * 4096,
                                                                    .temporaryFolder = true,
                                                                    .beside = true}}}
                                           << "KUNDBEST|RESERV" << false << QString();
    // What another user of a shared folder can put in the way.
    const auto lockIs = [&](const Entry &lock) {
        return HostSetup{
            .hostIni = hostIniAsStore("einstellungen.ini"), .store = ownStore, .entries = {lock}};
    };
    const QString lock = QStringLiteral("einstellungen.ini.schreibsperre");
    QTest::newRow("lock is a FIFO") << lockIs(Entry::fifo(lock)) << "KUNDBEST|RESERV" << false << "FIFO";
    QTest::newRow("lock is a folder")
        << lockIs(Entry::folder(lock)) << "KUNDBEST|RESERV" << false << "Ordner";
    QTest::newRow("lock is a link that leads nowhere")
        << lockIs(Entry::link(lock, "weg")) << "KUNDBEST|RESERV" << false << "ins Leere";
    // A user's link as the store, to a file of root's that looks like INI (a NetworkManager.conf).
    QTest::newRow("store is a user's link to root's file")
        << HostSetup{.hostIni = hostIniAsStore("einstellungen.ini"),
                     .entries = {Entry::file("system.conf", "[main]\nplugins=ifupdown,keyfile\n"),
                                 Entry::link("einstellungen.ini", "system.conf", 1001)}}
        << "KUNDBEST" << false << "anderer Benutzer";
    // host.ini by another name that only the file tells: a second name, or other letters on FAT.
    QTest::newRow("store is host.ini by a second name")
        << HostSetup{.hostIni = hostIniAsStore("zweitname.ini"),
                     .entries = {Entry::hardLink("zweitname.ini", "host.ini")}}
        << "KUNDBEST" << false << "host.ini selbst";
    QTest::newRow("store is host.ini in other letters on FAT")
        << HostSetup{.hostIni = hostIniAsStore("HOST.INI"), .mounts = {{.type = "vfat", .kib = 1024}}}
        << "KUNDBEST" << false << "host.ini selbst";
}

void TestNothingLost::failedWriteIsReportedAndKeepsTheStore()
{
    QFETCH(HostSetup, setup);
    QFETCH(QString, stored);
    QFETCH(bool, readFails);
    QFETCH(QString, reason);

    StandaloneHostHome dir;
    PREPARE_HOME(dir, setup);
    const QMap<QString, QString> before = dir.snapshot();
    const QString readLabel = QStringLiteral("TDMOrdovant.Einstellung_laden");
    const QString writeLabel = QStringLiteral("TDMOrdovant.Einstellung_speichern");

    {
        InstalledStandaloneHost host;
        TDMOrdovant dataModule;
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), stored);
        QCOMPARE(HostFiles::hasReport(dir.logLines(), QStringLiteral("07"), readLabel), readFails);

        dataModule.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML|RESERV"));
        QVERIFY2(HostFiles::hasReport(dir.logLines(), QStringLiteral("07"), writeLabel, reason),
                 qPrintable(dir.logLines().join(u'\n')));
        QCOMPARE(dataModule.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), stored);
    }

    QVERIFY2(dir.changesSince(before).isEmpty(), qPrintable(dir.changesSince(before)));
}

QTEST_GUILESS_MAIN(TestNothingLost)
#include "tst_nothinglost.moc"
