#include "support/standalonehosthome.h"

#include "host/appexec.h"
#include "host/dmwarenabgabe.h"
#include "host/hosterror.h"
#include "host/hostfunctions.h"
#include "host/qvxinfo.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/hostlog.h"
#include "host/standalone/processlauncher.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString LogWriterSwitch = QStringLiteral("--log-writer");
constexpr qint64 LogLimit = 1024 * 1024;

// A long message, so that lines written at once by several processes would mix if they could.
QString logMessage(int writer, int line)
{
    return QStringLiteral("%1-%2-").arg(writer).arg(line) + QString(1000, QLatin1Char('x'));
}

// Child process: writes COUNT lines as writer WRITER into the log at PATH.
int runLogWriter(const QStringList &arguments)
{
#ifdef Q_OS_UNIX
    ::umask(077); // a user who keeps his files to himself
#endif
    const HostLog log(arguments.at(2));
    const int writer = arguments.at(3).toInt();
    const int count = arguments.at(4).toInt();
    for (int line = 0; line < count; ++line)
        log.write(QStringLiteral("07"), QStringLiteral("T.Schreiber"), logMessage(writer, line), false);
    return 0;
}

} // namespace

class TestStandaloneHost : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    // host.ini
    void terminalId_data();
    void terminalId();
    void checkParameter_data();
    void checkParameter();
    void directoryByName_data();
    void directoryByName();
    void businessDate_data();
    void businessDate();
    void warenabgabeSetting();
    void hostDirectoryIsReadWhenMade();
    void unreadableIniFailsProgrammInit_data();
    void unreadableIniFailsProgrammInit();
    void programmInitAcceptsMissingOrValidIni();
    void storeThatIsHostIniFailsProgrammInit_data();
    void storeThatIsHostIniFailsProgrammInit();
    void usersFolderHoldsStoreAndLog_data();
    void usersFolderHoldsStoreAndLog();

    // Application
    void commandLineIsTheProcessArguments();
    void applicationTerminateEndsRunningLoop();

    // Error and message service
    void registerExceptionAppendsLogLines();
    void logUsesQuestionMarkWithoutTerminalId();
    void logFailureIsSwallowed();
    void logIsBoundedAndKeepsLinesWhole_data();
    void logIsBoundedAndKeepsLinesWhole();
    void showMeldungLogsCatalogueText();
    void showExceptionLogsWithoutBlocking();

    // Process launcher
    void programPathLookup_data();
    void programPathLookup();
    void launcherStartsProgramIgnoringLetterCase();
    void launcherPassesArgumentsWithoutShell();
    void launcherWaitsWhenAsked();
    void launcherFailures_data();
    void launcherFailures();

private:
    static void writeScript(const StandaloneHostHome &home, const QString &name, const QString &outputName);
};

void TestStandaloneHost::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

// --- host.ini ---

void TestStandaloneHost::terminalId_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected"); // empty: HostError
    const QString machine = QSysInfo::machineHostName();
    QTest::newRow("no host.ini") << QByteArray() << machine;
    QTest::newRow("no Terminal section") << QByteArray("[Startparameter]\nTORVELIN=1\n") << machine;
    QTest::newRow("set") << QByteArray("[Terminal]\nID=KASSE07\n") << QStringLiteral("KASSE07");
    QTest::newRow("BOM and CRLF") << QByteArray("\xef\xbb\xbf[Terminal]\r\nID=KASSE08\r\n")
                                  << QStringLiteral("KASSE08");
    QTest::newRow("umlaut") << QByteArray("[Terminal]\nID=K\xc3\xa4se\n") << QStringLiteral("Käse");
    QTest::newRow("CRLF") << QByteArray("[Terminal]\r\nID=KASSE09\r\n") << QStringLiteral("KASSE09");
    QTest::newRow("quoted blank") << QByteArray("[Terminal]\nID=\"KASSE 07\" ; Kommentar\n")
                                  << QStringLiteral("KASSE 07");
    QTest::newRow("empty") << QByteArray("[Terminal]\nID=\n") << QString();
    QTest::newRow("blank") << QByteArray("[Terminal]\nID=   \n") << QString();
    // The store reads "/" and "\\" in a key as group separators: "GV07/" would be stored as "GV07".
    QTest::newRow("slash at the end") << QByteArray("[Terminal]\nID=07/\n") << QString();
    QTest::newRow("slash inside") << QByteArray("[Terminal]\nID=0/7\n") << QString();
    QTest::newRow("backslash at the end") << QByteArray("[Terminal]\nID=07\\\n") << QString();
    QTest::newRow("backslash inside") << QByteArray("[Terminal]\r\nID=K\\07\r\n") << QString();
}

void TestStandaloneHost::terminalId()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    StandaloneHostHome home;
    if (!ini.isNull())
        QVERIFY(home.writeIni(ini));
    auto host = home.makeHost();
    if (expected.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(HostError, host->terminalId());
        // Such a workstation does not start: it could not keep its choice.
        QVERIFY_THROWS_EXCEPTION(HostError, host->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false));
    } else {
        QCOMPARE(host->terminalId(), expected);
        host->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false);
    }
}

void TestStandaloneHost::checkParameter_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("TORVELIN=1") << true;
    QTest::newRow("true") << QByteArray("TORVELIN=true") << true;
    QTest::newRow("TRUE") << QByteArray("TORVELIN=TRUE") << true;
    QTest::newRow("Ja") << QByteArray("TORVELIN=Ja") << true;
    QTest::newRow("yes") << QByteArray("TORVELIN=yes") << true;
    QTest::newRow("YeS") << QByteArray("TORVELIN=YeS") << true;
    QTest::newRow("0") << QByteArray("TORVELIN=0") << false;
    QTest::newRow("nein") << QByteArray("TORVELIN=nein") << false;
    QTest::newRow("on") << QByteArray("TORVELIN=on") << false;
    QTest::newRow("2") << QByteArray("TORVELIN=2") << false;
    QTest::newRow("empty") << QByteArray("TORVELIN=") << false;
    QTest::newRow("missing") << QByteArray("RECHKTRL=1") << false;
}

void TestStandaloneHost::checkParameter()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, expected);
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Startparameter]\n" + line + "\n"));
    InstalledStandaloneHost installed;
    QCOMPARE(CheckParm_RO_NewIsFalse(QStringLiteral("TORVELIN")), expected);
}

void TestStandaloneHost::directoryByName_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("relativeToHome"); // empty: HostError
    QTest::newRow("relative") << QByteArray("[Verzeichnisse]\nFERTIG=prog/fertig\n")
                              << QStringLiteral("prog/fertig");
    QTest::newRow("dot segments") << QByteArray("[Verzeichnisse]\nFERTIG=./a/../fertig\n")
                                  << QStringLiteral("fertig");
    QTest::newRow("unknown name") << QByteArray("[Verzeichnisse]\nANDERES=x\n") << QString();
    QTest::newRow("empty") << QByteArray("[Verzeichnisse]\nFERTIG=\n") << QString();
    QTest::newRow("no host.ini") << QByteArray() << QString();
    // Written with Notepad: a backslash is no escape ("\\t" is no tab), CRLF, byte order mark.
    QTest::newRow("drive letter") << QByteArray("[Verzeichnisse]\r\nFERTIG=C:\\Torvelin\\bin\r\n")
                                  << QStringLiteral("C:\\Torvelin\\bin");
    QTest::newRow("blanks and \\t") << QByteArray("\xef\xbb\xbf[Verzeichnisse]\r\n"
                                                  "FERTIG=Z:\\tmp\\host mit Leerzeichen\\Torvelin Bin\r\n")
                                    << QStringLiteral("Z:\\tmp\\host mit Leerzeichen\\Torvelin Bin");
    QTest::newRow("backslash at the end")
        << QByteArray("[Verzeichnisse]\nFERTIG=C:\\Torvelin\\\n[Andere]\nx=1\n")
        << QStringLiteral("C:\\Torvelin\\");
    QTest::newRow("quoted, with comments") << QByteArray("# Pfade\n[Verzeichnisse]\n; alt: x\n"
                                                         "FERTIG = \"prog;neu\" ; Kommentar\n")
                                           << QStringLiteral("prog;neu");
}

void TestStandaloneHost::directoryByName()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, relativeToHome);
    StandaloneHostHome home;
    if (!ini.isNull())
        QVERIFY(home.writeIni(ini));
    InstalledStandaloneHost installed;
    if (relativeToHome.isEmpty())
        QVERIFY_THROWS_EXCEPTION(HostError, GetDirWwsByName(QStringLiteral("FERTIG"), QString(), true));
    else
        QCOMPARE(
            GetDirWwsByName(QStringLiteral("FERTIG"), QString(), true),
            QDir::cleanPath(QDir(home.path()).absoluteFilePath(QDir::fromNativeSeparators(relativeToHome))));
}

void TestStandaloneHost::businessDate_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QDate>("expected"); // invalid: HostError
    QTest::newRow("set") << QByteArray("[Geschaeftsdatum]\nDatum=2024-02-29\n") << QDate(2024, 2, 29);
    QTest::newRow("missing") << QByteArray("[Terminal]\nID=1\n") << QDate::currentDate();
    QTest::newRow("no date") << QByteArray("[Geschaeftsdatum]\nDatum=morgen\n") << QDate();
    QTest::newRow("no such day") << QByteArray("[Geschaeftsdatum]\nDatum=2023-02-29\n") << QDate();
    QTest::newRow("german form") << QByteArray("[Geschaeftsdatum]\nDatum=29.02.2024\n") << QDate();
}

void TestStandaloneHost::businessDate()
{
    QFETCH(QByteArray, ini);
    QFETCH(QDate, expected);
    StandaloneHostHome home;
    QVERIFY(home.writeIni(ini));
    auto host = home.makeHost();
    if (expected.isValid())
        QCOMPARE(host->businessDate(), expected);
    else
        QVERIFY_THROWS_EXCEPTION(HostError, host->businessDate());
}

void TestStandaloneHost::warenabgabeSetting()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Warenabgabe]\n17=0421\n"));
    InstalledStandaloneHost installed;
    TDMWarenAbgabe dm(nullptr, nullptr);
    QCOMPARE(dm.Einstellung_laden(TZWL_SM_SimpleMaskKeys::FilialNummer, QString()), QStringLiteral("0421"));
    QCOMPARE(dm.Einstellung_laden(TZWL_SM_SimpleMaskKeys(18), QStringLiteral("vorgabe")),
             QStringLiteral("vorgabe"));
}

void TestStandaloneHost::hostDirectoryIsReadWhenMade()
{
    StandaloneHostHome first;
    QVERIFY(first.writeIni("[Terminal]\nID=ERSTER\n"));
    auto host = first.makeHost();
    StandaloneHostHome second;
    QVERIFY(second.writeIni("[Terminal]\nID=ZWEITER\n"));
    QCOMPARE(host->terminalId(), QStringLiteral("ERSTER"));
    QCOMPARE(second.makeHost()->terminalId(), QStringLiteral("ZWEITER"));
}

void TestStandaloneHost::unreadableIniFailsProgrammInit_data()
{
    QTest::addColumn<QByteArray>("ini"); // null: host.ini is a directory
    QTest::newRow("prose") << QByteArray("Dies ist keine INI-Datei\n");
    QTest::newRow("open section") << QByteArray("[Terminal\nID=1\n");
    QTest::newRow("binary") << QByteArray("\x7f\x45\x4c\x46\x00\x01\xff\xfe", 8);
    // Notepad's other encodings.
    QTest::newRow("ANSI") << QByteArray("[Terminal]\r\nID=K\xe4se\r\n");
    QTest::newRow("UTF-16") << QByteArray("\xff\xfe[\0T\0]\0\r\0\n\0", 12);
    QTest::newRow("directory") << QByteArray();
}

void TestStandaloneHost::unreadableIniFailsProgrammInit()
{
    QFETCH(QByteArray, ini);
    StandaloneHostHome home;
    if (ini.isNull())
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("host.ini")));
    else
        QVERIFY(home.writeIni(ini));
    auto host = home.makeHost(); // the constructor itself never throws
    QVERIFY_THROWS_EXCEPTION(HostError, host->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false));
    QVERIFY_THROWS_EXCEPTION(HostError, host->checkParameter(QStringLiteral("TORVELIN")));
    if (!ini.isNull())
        QCOMPARE(home.readFile(QStringLiteral("host.ini")), ini);
}

void TestStandaloneHost::storeThatIsHostIniFailsProgrammInit_data()
{
    QTest::addColumn<QByteArray>("storePath");
    QTest::newRow("by its name") << QByteArray("host.ini");
    QTest::newRow("by another spelling") << QByteArray("./unter/../host.ini");
}

// A save would rewrite host.ini in QSettings' form: its comments gone, its backslashes escapes.
void TestStandaloneHost::storeThatIsHostIniFailsProgrammInit()
{
    QFETCH(QByteArray, storePath);
    StandaloneHostHome home;
    const QByteArray ini = "; Filiale 42\n[Einstellungen]\nPfad=" + storePath + "\n";
    QVERIFY(home.writeIni(ini));
    QVERIFY_THROWS_EXCEPTION(HostError,
                             home.makeHost()->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false));
    QVERIFY(home.writeIni(ini + "Speicher=Datenbank\n[Datenbank]\nTreiber=QPSQL\n"));
    home.makeHost()->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false);
}

void TestStandaloneHost::usersFolderHoldsStoreAndLog_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("othersMayWrite"); // host.ini
    QTest::addColumn<QString>("oldStore");    // a store left in the host directory; empty: none
    QTest::addColumn<QString>("log");         // relative to the host directory
    QTest::addColumn<QString>("store");
    QTest::newRow("none named: the host directory") << QByteArray() << false << QString() << "ordovant.log"
                                                    << "einstellungen.ini";
    QTest::newRow("named, with a store path")
        << QByteArray("[Verzeichnisse]\nDaten=daten\n[Einstellungen]\nPfad=geteilt.ini\n") << false
        << QString() << "daten/ordovant.log"
        << "daten/geteilt.ini";
    QTest::newRow("a store left in the host directory is read there")
        << QByteArray("[Verzeichnisse]\nDaten=daten\n") << false << "einstellungen.ini"
        << "daten/ordovant.log"
        << "einstellungen.ini";
    QTest::newRow("named by a host.ini others may change: ignored")
        << QByteArray("[Verzeichnisse]\nDaten=/tmp\n") << true << QString() << "ordovant.log"
        << "einstellungen.ini";
}

void TestStandaloneHost::usersFolderHoldsStoreAndLog()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, othersMayWrite);
    QFETCH(QString, oldStore);
    QFETCH(QString, log);
    QFETCH(QString, store);
    StandaloneHostHome home;
    QVERIFY(home.writeIni(ini));
    if (othersMayWrite) {
#ifdef Q_OS_WIN
        QSKIP("Who may write a file is its access list on Windows, which Qt does not set");
#endif
        const auto readWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
        QVERIFY(QFile::setPermissions(home.filePath(QStringLiteral("host.ini")),
                                      readWrite | QFile::ReadOther | QFile::WriteOther));
    }
    if (!oldStore.isEmpty())
        QVERIFY(home.writeFile(oldStore, "[ORDOVANT]\n"));
    HostConfig config;
    QCOMPARE(config.logPath(), home.filePath(log));
    QCOMPARE(config.storePath(), home.filePath(store));
}

void TestStandaloneHost::programmInitAcceptsMissingOrValidIni()
{
    StandaloneHostHome home;
    auto host = home.makeHost();
    host->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false);
    QCOMPARE(host->programId(), QStringLiteral("ORDOVANT"));
    QVERIFY(home.writeIni("; Kommentar\n[Terminal]\nID=7\n\n[Verzeichnisse]\nFERTIG=C:\\\\prog\n"));
    home.makeHost()->programmInit(QStringLiteral("ORDOVANT"), {}, 1, 0, false);
    QVERIFY(!host->designingInComponentState());
}

// --- Application ---

void TestStandaloneHost::commandLineIsTheProcessArguments()
{
    StandaloneHostHome home;
    QCOMPARE(home.makeHost()->commandLine(), QCoreApplication::arguments());
}

void TestStandaloneHost::applicationTerminateEndsRunningLoop()
{
    StandaloneHostHome home;
    auto host = home.makeHost();
    QVERIFY(!host->applicationTerminated());
    QEventLoop loop;
    bool stillRunning = false;
    QTimer::singleShot(0, &loop, [&] { host->applicationTerminate(); });
    QTimer::singleShot(5000, &loop, [&] {
        stillRunning = true;
        loop.exit(1);
    });
    QCOMPARE(loop.exec(), 0);
    QVERIFY(!stillRunning);
    QVERIFY(host->applicationTerminated());
}

// --- Error and message service ---

void TestStandaloneHost::registerExceptionAppendsLogLines()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Terminal]\nID=KASSE07\n"));
    InstalledStandaloneHost installed;
    QVXInfo()->RegisterException(QStringLiteral("TDMOrdovant.Einstellung_laden"),
                                 HostError(QStringLiteral("kaputt")), false);
    QVXInfo()->RegisterException(QStringLiteral("TfrmOptionen.FormShow"),
                                 HostError(QStringLiteral("Zeile eins\nZeile zwei")), false);
    const QStringList lines = home.logLines();
    QCOMPARE(lines.size(), 2);
    static const QRegularExpression format(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d KASSE07 (.*)$)"));
    const auto first = format.match(lines[0]);
    QVERIFY2(first.hasMatch(), qPrintable(lines[0]));
    QCOMPARE(first.captured(1), QStringLiteral("TDMOrdovant.Einstellung_laden: kaputt"));
    const auto second = format.match(lines[1]);
    QVERIFY2(second.hasMatch(), qPrintable(lines[1]));
    QCOMPARE(second.captured(1), QStringLiteral("TfrmOptionen.FormShow: Zeile eins Zeile zwei"));
    const QDateTime stamp = QDateTime::fromString(lines[0].left(19), Qt::ISODate);
    QVERIFY(stamp.isValid());
    QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 3600);
}

void TestStandaloneHost::logUsesQuestionMarkWithoutTerminalId()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Terminal]\nID=\n"));
    home.makeHost()->registerException(QStringLiteral("X.Y"), QStringLiteral("z"), false);
    const QStringList lines = home.logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].endsWith(QStringLiteral(" ? X.Y: z")), qPrintable(lines[0]));
}

void TestStandaloneHost::logFailureIsSwallowed()
{
    StandaloneHostHome home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("ordovant.log")));
    auto host = home.makeHost();
    host->registerException(QStringLiteral("X.Y"), QStringLiteral("z"), false);
    QVERIFY(QFileInfo(home.filePath(QStringLiteral("ordovant.log"))).isDir());
}

void TestStandaloneHost::logIsBoundedAndKeepsLinesWhole_data()
{
    QTest::addColumn<int>("writers");
    QTest::addColumn<int>("linesEach");
    QTest::addColumn<bool>("fullBefore"); // the log holds 1 MiB, and an older generation exists
    QTest::addColumn<bool>("users");      // each writer another user of the folder's group
    QTest::newRow("a full log") << 1 << 1 << true << false;
    QTest::newRow("processes writing at once") << 4 << 400 << false << false;
    QTest::newRow("users of the workstation's group") << 2 << 50 << false << true;
}

// At 1 MiB the log becomes ordovant.log.1, replacing the older one; lines of processes that write at
// once stay whole, and none is lost in a rotation.
void TestStandaloneHost::logIsBoundedAndKeepsLinesWhole()
{
    QFETCH(int, writers);
    QFETCH(int, linesEach);
    QFETCH(bool, fullBefore);
    QFETCH(bool, users);
    StandaloneHostHome home;
    QStringList asUser;
    if (users) {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("Needs root and setpriv to act as other users");
        const QByteArray folder = QFile::encodeName(home.path());
        QVERIFY(::chown(folder.constData(), 0, 2000) == 0 && ::chmod(folder.constData(), 02775) == 0);
        asUser << QStringLiteral("--groups=2000") << QStringLiteral("--");
#else
        QSKIP("Unix users and groups");
#endif
    }
    const QString path = home.filePath(QStringLiteral("ordovant.log"));
    const QByteArray full = QByteArray(LogLimit - 1, 'a') + '\n';
    if (fullBefore) {
        QVERIFY(home.writeFile(QStringLiteral("ordovant.log"), full));
        QVERIFY(home.writeFile(QStringLiteral("ordovant.log.1"), "aeltere Generation\n"));
    }
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int writer = 0; writer < writers; ++writer) {
        processes.push_back(std::make_unique<QProcess>());
        const QStringList arguments{LogWriterSwitch, path, QString::number(writer),
                                    QString::number(linesEach)};
        if (users) {
            const QString user = QString::number(1001 + writer);
            QStringList setpriv{QStringLiteral("--reuid=") + user, QStringLiteral("--regid=") + user};
            setpriv << asUser << QCoreApplication::applicationFilePath() << arguments;
            processes.back()->start(QStringLiteral("setpriv"), setpriv);
        } else {
            processes.back()->start(QCoreApplication::applicationFilePath(), arguments);
        }
    }
    for (const auto &process : processes)
        QVERIFY(process->waitForFinished(120000) && process->exitCode() == 0);

    const QByteArray older = home.readFile(QStringLiteral("ordovant.log.1"));
    const QByteArray current = home.readFile(QStringLiteral("ordovant.log"));
    QVERIFY(current.size() < LogLimit);
    if (fullBefore)
        QCOMPARE(older, full);
    static const QRegularExpression format(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d 07 T.Schreiber: (\d+)-(\d+)-x{1000}$)"));
    QSet<QString> seen;
    for (const QByteArray &text : {fullBefore ? QByteArray() : older, current}) {
        for (const QString &line : QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts)) {
            const auto match = format.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line.left(80)));
            seen.insert(match.captured(1) + u'-' + match.captured(2));
        }
    }
    QCOMPARE(seen.size(), writers * linesEach);
}

void TestStandaloneHost::showMeldungLogsCatalogueText()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Terminal]\nID=T1\n"));
    InstalledStandaloneHost installed;
    QVXInfo()->ShowMeldung(0, 1004, QStringLiteral("TORVELIN"), QString(), 0, 0, QString(), false);
    QVXInfo()->ShowMeldung(0, 77, QStringLiteral("KASSE"), QString(), 0, 0, QString(), false);
    const QStringList lines = home.logLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].endsWith(QStringLiteral(
                 "TORVELIN 1004: Die Filialnummer dieses Arbeitsplatzes konnte nicht ermittelt werden.")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QStringLiteral("77")) && lines[1].contains(QStringLiteral("KASSE")),
             qPrintable(lines[1]));
    QCOMPARE(StandaloneHost::meldungText(QStringLiteral("KASSE"), 77),
             QStringLiteral("Meldung 77 der Gruppe KASSE."));
}

void TestStandaloneHost::showExceptionLogsWithoutBlocking()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Terminal]\nID=T1\n"));
    home.makeHost()->showException(QStringLiteral("Start fehlgeschlagen"), false);
    const QStringList lines = home.logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].endsWith(QStringLiteral("Start fehlgeschlagen")), qPrintable(lines[0]));
}

// --- Process launcher ---

void TestStandaloneHost::programPathLookup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // empty: HostError
    QTest::newRow("exact") << QStringList{QStringLiteral("TORVELIN.EXE")} << QStringLiteral("TORVELIN.EXE")
                           << QStringLiteral("TORVELIN.EXE");
    QTest::newRow("other case") << QStringList{QStringLiteral("TORVELIN.EXE")}
                                << QStringLiteral("torvelin.exe") << QStringLiteral("TORVELIN.EXE");
    QTest::newRow("exact wins") << QStringList{QStringLiteral("torvelin.exe"), QStringLiteral("TORVELIN.EXE")}
                                << QStringLiteral("torvelin.exe") << QStringLiteral("torvelin.exe");
    QTest::newRow("ambiguous") << QStringList{QStringLiteral("torvelin.exe"), QStringLiteral("TORVELIN.EXE")}
                               << QStringLiteral("Torvelin.exe") << QString();
    QTest::newRow("missing") << QStringList{QStringLiteral("anderes.exe")} << QStringLiteral("torvelin.exe")
                             << QString();
    QTest::newRow("path in name") << QStringList{QStringLiteral("torvelin.exe")}
                                  << QStringLiteral("../fertig/torvelin.exe") << QString();
    QTest::newRow("empty name") << QStringList{QStringLiteral("torvelin.exe")} << QString() << QString();
}

// Qt::CaseInsensitive where the file system takes "A" and "a" for the same name (Windows).
static Qt::CaseSensitivity letterCase(const QString &directory, const QString &file)
{
    const QDir dir(directory);
    return QFileInfo::exists(dir.filePath(file.toLower())) && QFileInfo::exists(dir.filePath(file.toUpper()))
               ? Qt::CaseInsensitive
               : Qt::CaseSensitive;
}

void TestStandaloneHost::programPathLookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    StandaloneHostHome home;
    const QString directory = home.filePath(QStringLiteral("fertig"));
    for (const QString &file : files)
        QVERIFY(home.writeFile(QStringLiteral("fertig/") + file, "x"));
    if (QDir(directory).entryList(QDir::Files).size() != files.size())
        QSKIP("This file system ignores letter case");
    if (expected.isEmpty())
        QVERIFY_THROWS_EXCEPTION(HostError, ProcessLauncher::programPath(directory, name));
    else
        QCOMPARE(ProcessLauncher::programPath(directory, name)
                     .compare(QDir(directory).filePath(expected), letterCase(directory, files.first())),
                 0);
}

void TestStandaloneHost::writeScript(const StandaloneHostHome &home, const QString &name,
                                     const QString &outputName)
{
    // Writes one line per argument, then the working directory, and then marks the run as complete.
    const QString script = QStringLiteral("#!/bin/sh\n"
                                          "for a in \"$@\"; do printf '%s\\n' \"$a\" >> %1.part; done\n"
                                          "pwd >> %1.part\n"
                                          "mv %1.part %1\n")
                               .arg(outputName);
    QVERIFY(home.writeFile(QStringLiteral("fertig/") + name, script.toUtf8()));
    QVERIFY(QFile::setPermissions(home.filePath(QStringLiteral("fertig/") + name),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestStandaloneHost::launcherStartsProgramIgnoringLetterCase()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs a POSIX shell script as the started program");
#endif
    StandaloneHostHome home;
    writeScript(home, QStringLiteral("TORVELIN.EXE"), QStringLiteral("aufruf.txt"));
    QVERIFY(home.writeIni("[Verzeichnisse]\nFERTIG=fertig\n"));
    InstalledStandaloneHost installed;
    TAppExec exec;
    exec.SetExePath(GetDirWwsByName(QStringLiteral("FERTIG"), QString(), true));
    exec.SetExeName(QStringLiteral("torvelin.exe"));
    exec.Parameters() << QStringLiteral("-AutoAufgDruck");
    exec.Execute();
    const QString output = home.filePath(QStringLiteral("fertig/aufruf.txt"));
    QTRY_VERIFY(QFileInfo::exists(output));
    const QStringList lines =
        QString::fromUtf8(home.readFile(QStringLiteral("fertig/aufruf.txt"))).split(u'\n');
    QCOMPARE(lines.value(0), QStringLiteral("-AutoAufgDruck"));
    QCOMPARE(QFileInfo(lines.value(1)).canonicalFilePath(),
             QFileInfo(home.filePath("fertig")).canonicalFilePath());
}

void TestStandaloneHost::launcherPassesArgumentsWithoutShell()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs a POSIX shell script as the started program");
#endif
    StandaloneHostHome home;
    writeScript(home, QStringLiteral("prog"), QStringLiteral("aufruf.txt"));
    const QStringList arguments{QStringLiteral("a b"), QStringLiteral("$(touch boese);x"),
                                QStringLiteral("*")};
    ProcessLauncher().execute({home.filePath(QStringLiteral("fertig")), QStringLiteral("prog"), arguments});
    QTRY_VERIFY(QFileInfo::exists(home.filePath(QStringLiteral("fertig/aufruf.txt"))));
    const QStringList lines =
        QString::fromUtf8(home.readFile(QStringLiteral("fertig/aufruf.txt"))).split(u'\n');
    QCOMPARE(lines.mid(0, 3), arguments);
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("fertig/boese"))));
}

void TestStandaloneHost::launcherWaitsWhenAsked()
{
#ifndef Q_OS_UNIX
    QSKIP("Needs a POSIX shell script as the started program");
#endif
    StandaloneHostHome home;
    writeScript(home, QStringLiteral("prog"), QStringLiteral("aufruf.txt"));
    AppExecRequest request{
        home.filePath(QStringLiteral("fertig")), QStringLiteral("PROG"), {QStringLiteral("-x")}};
    request.wait = true;
    ProcessLauncher().execute(request);
    QVERIFY(QFileInfo::exists(home.filePath(QStringLiteral("fertig/aufruf.txt"))));
}

void TestStandaloneHost::launcherFailures_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("wait");
    QTest::newRow("no directory") << QStringLiteral("fehlt") << QStringLiteral("prog") << false;
    QTest::newRow("no program") << QStringLiteral("fertig") << QStringLiteral("fehlt.exe") << false;
    QTest::newRow("not executable") << QStringLiteral("fertig") << QStringLiteral("daten.txt") << false;
    QTest::newRow("not executable, waiting")
        << QStringLiteral("fertig") << QStringLiteral("daten.txt") << true;
    QTest::newRow("a directory") << QStringLiteral(".") << QStringLiteral("fertig") << false;
}

void TestStandaloneHost::launcherFailures()
{
#ifndef Q_OS_UNIX
    QSKIP("Uses POSIX file permissions");
#endif
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(bool, wait);
    StandaloneHostHome home;
    QVERIFY(home.writeFile(QStringLiteral("fertig/daten.txt"), "#!/bin/sh\ntouch ../gestartet\n"));
    AppExecRequest request{home.filePath(directory), name, {}};
    request.wait = wait;
    QVERIFY_THROWS_EXCEPTION(HostError, ProcessLauncher().execute(request));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("gestartet"))));
}

int main(int argc, char *argv[])
{
    if (argc == 5 && QString::fromLocal8Bit(argv[1]) == LogWriterSwitch) {
        QCoreApplication app(argc, argv);
        return runLogWriter(QCoreApplication::arguments());
    }
    QApplication app(argc, argv);
    TestStandaloneHost test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_standalonehost.moc"
