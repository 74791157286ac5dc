#include "standalonehosthome.h"

#include "host/hosterror.h"
#include "host/simplemask.h"
#include "host/standalone/config/inifile.h"
#include "host/standalone/config/inisnapshot.h"
#include "host/standalone/store/filereplacement.h"

#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSize>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <share.h>
#endif

namespace {

const QString Section = QStringLiteral("ORDOVANT");
const QString Subsection = QStringLiteral("DM");
const QString WriterSwitch = QStringLiteral("--settings-writer");
const QString LockLeaverSwitch = QStringLiteral("--leave-lock");

std::unique_ptr<SimpleMaskBackend> openStore(HostBackend &host)
{
    return host.createSimpleMask(Section, Subsection, QString(), false, true, nullptr, QString(), QString());
}

QVariant storedValue(const QString &storePath, const QString &key)
{
    return QSettings(storePath, QSettings::IniFormat).value(key);
}

// Child process: writes COUNT keys "<PREFIX>-<n>" into the store of ORDOVANT_HOME, each one read back.
int runSettingsWriter(const QStringList &arguments)
{
    if (arguments.size() != 4)
        return 2;
    const QString &prefix = arguments[2];
    const int count = arguments[3].toInt();
    try {
        StandaloneHost host;
        auto store = openStore(host);
        for (int n = 0; n < count; ++n) {
            const QString key = QStringLiteral("%1-%2").arg(prefix).arg(n);
            store->writeLocal(key, key + QStringLiteral("-wert"));
            store->writeLocal(QStringLiteral("ZULETZT"), key);
            if (store->readLocalDef(key, QString()) != key + QStringLiteral("-wert"))
                return 3;
        }
    } catch (const HostError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

// A reader that holds the store open: as Qt opens a file, or (Windows) letting nobody write it, as
// cmd.exe does with "< einstellungen.ini".
std::FILE *openReader(const QString &path, bool denyWriters)
{
#ifdef Q_OS_WIN
    return _wfsopen(path.toStdWString().c_str(), L"rb", denyWriters ? _SH_DENYWR : _SH_DENYNO);
#else
    Q_UNUSED(denyWriters);
    return std::fopen(QFile::encodeName(path).constData(), "rb");
#endif
}

// The message of the HostError that `action` throws; empty when it throws none.
QString refusal(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HostError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// Every key of INI content with its value, as QSettings reads it; a line that begins with "#" is a
// comment, as people mean it.
QVariantMap settingsIn(const QByteArray &content)
{
    QByteArrayList lines = content.split('\n');
    for (QByteArray &line : lines) {
        if (line.trimmed().startsWith('#'))
            line.clear();
    }
    IniSnapshot snapshot(lines.join('\n'), QStringLiteral("test"));
    QVariantMap values;
    for (const QString &key : snapshot.settings().allKeys())
        values.insert(key, snapshot.settings().value(key));
    return values;
}

// A store shared with other programs, as QSettings writes it: escaped names, lists, variants, the
// General section.
QByteArray writtenByQSettings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("geteilt.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("ORDOVANT/DM/GV07"), QStringLiteral("KUNDBEST|RESERV"));
        settings.setValue(QStringLiteral("ORDOVANT/DM/GVKASSE 07"), QStringLiteral("\"A B\"|C"));
        settings.setValue(QStringLiteral("ORDOVANT/DM/HERKUNFTKäse"), QStringLiteral("Ü"));
        settings.setValue(QStringLiteral("oben"), QStringLiteral("ohne Gruppe"));
        settings.setValue(QStringLiteral("General/x"), 1);
        settings.setValue(QStringLiteral("ANDERE/Liste"),
                          QStringList{QStringLiteral("a"), QStringLiteral("b")});
        settings.setValue(QStringLiteral("ANDERE/Bytes"), QByteArray("\x01\xff", 2));
        settings.setValue(QStringLiteral("ANDERE/Größe"), QSize(3, 4));
        settings.setValue(QStringLiteral("ANDERE/Text"),
                          QStringLiteral("eins\nzwei\tdrei; vier # fünf = sechs"));
        settings.setValue(QStringLiteral("ANDERE/Pfad"), QStringLiteral("C:\\Torvelin\\bin"));
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifdef Q_OS_UNIX
struct Account
{
    uid_t user;
    gid_t group;
    QString groups; // supplementary, comma-separated
};

// The settings writer of this test as another user; the exit code and what it printed.
std::pair<int, QByteArray> writeAs(const Account &account, const QString &home, const QString &prefix)
{
    QStringList arguments{QStringLiteral("--reuid=%1").arg(account.user),
                          QStringLiteral("--regid=%1").arg(account.group)};
    arguments << (account.groups.isEmpty() ? QStringLiteral("--clear-groups")
                                           : QStringLiteral("--groups=%1").arg(account.groups));
    arguments << QStringLiteral("--") << QCoreApplication::applicationFilePath() << WriterSwitch << prefix
              << QStringLiteral("1");
    QProcess writer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORDOVANT_HOME"), home);
    writer.setProcessEnvironment(environment);
    writer.setProcessChannelMode(QProcess::MergedChannels);
    writer.start(QStringLiteral("setpriv"), arguments);
    if (!writer.waitForFinished(60000) || writer.exitStatus() != QProcess::NormalExit)
        return {-1, writer.readAll()};
    return {writer.exitCode(), writer.readAll()};
}
#endif

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    // Round trips
    void roundTrip_data();
    void roundTrip();
    void defaultWhenMissing();
    void emptyStoredValueIsNotTheDefault();
    void keyOfMoreThanOneNameIsRefused_data();
    void keyOfMoreThanOneNameIsRefused();
    void changeKeyValuesRebindsGroup();
    void facadeStoresUnderSectionAndSubsection();

    // Sharing
    void storeSharedByTwoTerminals();
    void otherWritersAreSeen();
    void processesWritingAtOnceLoseNothing();
    void saveWaitsWhileAReaderHoldsTheStore_data();
    void saveWaitsWhileAReaderHoldsTheStore();
    void leftLockIsTakenOver_data();
    void leftLockIsTakenOver();
    void replacedFileIsTheRealFile_data();
    void replacedFileIsTheRealFile();

    // Reading
    void readsWhatQSettingsReads_data();
    void readsWhatQSettingsReads();

    // Broken stores
    void garbageStoreIsNeverOverwritten_data();
    void garbageStoreIsNeverOverwritten();
    void unwritablePathFails_data();
    void unwritablePathFails();
    void readOnlyStoreFails_data();
    void readOnlyStoreFails();

    // Stores of other writers
    void storeInAnyFormQSettingsWritesIsTaken_data();
    void storeInAnyFormQSettingsWritesIsTaken();
    void saveKeepsTheStoreWritableForOthers_data();
    void saveKeepsTheStoreWritableForOthers();
};

// --- Round trips ---

void TestSettingsStore::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << QStringLiteral("KUNDBEST");
    QTest::newRow("delimited list") << QStringLiteral("KUNDBEST|\"A|B\"|O");
    QTest::newRow("comma") << QStringLiteral("a,b");
    QTest::newRow("umlauts") << QStringLiteral("Überprüfung ÄÖÜß");
    QTest::newRow("outer spaces") << QStringLiteral("  mit Rand  ");
    QTest::newRow("backslash and semicolon") << QStringLiteral("C:\\prog;x=1 # nicht kommentiert");
    QTest::newRow("section-like") << QStringLiteral("[Terminal]");
}

void TestSettingsStore::roundTrip()
{
    QFETCH(QString, value);
    StandaloneHostHome home;
    {
        StandaloneHost host;
        openStore(host)->writeLocal(QStringLiteral("07GV"), value);
    }
    StandaloneHost later;
    QCOMPARE(openStore(later)->readLocalDef(QStringLiteral("07GV"), QStringLiteral("vorgabe")), value);
    QCOMPARE(
        storedValue(home.filePath(QStringLiteral("einstellungen.ini")), QStringLiteral("ORDOVANT/DM/07GV")),
        QVariant(value));
}

void TestSettingsStore::defaultWhenMissing()
{
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    QCOMPARE(store->readLocalDef(QStringLiteral("07GV"), QStringLiteral("KUNDBEST")),
             QStringLiteral("KUNDBEST"));
    store->writeLocal(QStringLiteral("07HERKUNFT"), QStringLiteral("O"));
    QCOMPARE(store->readLocalDef(QStringLiteral("07GV"), QStringLiteral("KUNDBEST")),
             QStringLiteral("KUNDBEST"));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("einstellungen.ini.schreibsperre"))));
}

void TestSettingsStore::emptyStoredValueIsNotTheDefault()
{
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("07GV"), QString());
    const QString value = store->readLocalDef(QStringLiteral("07GV"), QStringLiteral("KUNDBEST"));
    QVERIFY(value.isEmpty());
}

void TestSettingsStore::keyOfMoreThanOneNameIsRefused_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("slash at the end") << QStringLiteral("GV07/");
    QTest::newRow("slash inside") << QStringLiteral("GV0/7");
    QTest::newRow("backslash at the end") << QStringLiteral("GV07\\");
    QTest::newRow("backslash inside") << QStringLiteral("GV\\07");
}

// QSettings would store "GV07/" as "GV07", the key of another workstation.
void TestSettingsStore::keyOfMoreThanOneNameIsRefused()
{
    QFETCH(QString, key);
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("GV07"), QStringLiteral("RESERV"));
    const QByteArray before = home.readFile(QStringLiteral("einstellungen.ini"));
    QVERIFY_THROWS_EXCEPTION(HostError, store->writeLocal(key, QStringLiteral("KUNDBEST")));
    QVERIFY_THROWS_EXCEPTION(HostError, store->readLocalDef(key, QStringLiteral("x")));
    QCOMPARE(home.readFile(QStringLiteral("einstellungen.ini")), before);
}

void TestSettingsStore::changeKeyValuesRebindsGroup()
{
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("K"), QStringLiteral("eins"));
    store->changeKeyValues(QStringLiteral("ANDERS"), QStringLiteral("WO"), QString(), false, true, QString(),
                           QString());
    QCOMPARE(store->readLocalDef(QStringLiteral("K"), QStringLiteral("keiner")), QStringLiteral("keiner"));
    store->writeLocal(QStringLiteral("K"), QStringLiteral("zwei"));
    store->changeKeyValues(Section, Subsection, QString(), false, true, QString(), QString());
    QCOMPARE(store->readLocalDef(QStringLiteral("K"), QString()), QStringLiteral("eins"));
    QCOMPARE(storedValue(home.filePath(QStringLiteral("einstellungen.ini")), QStringLiteral("ANDERS/WO/K")),
             QVariant(QStringLiteral("zwei")));
}

void TestSettingsStore::facadeStoresUnderSectionAndSubsection()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Einstellungen]\nPfad=geteilt/speicher.ini\n"));
    InstalledStandaloneHost installed;
    TSimpleMask mask(Section, Subsection, QString(), false, true, nullptr, QString(), QString());
    mask.WriteLocal(QStringLiteral("07WARENANFOEIGFIL"), QStringLiteral("J"));
    QCOMPARE(mask.ReadLocalDef(QStringLiteral("07WARENANFOEIGFIL"), QStringLiteral("N")),
             QStringLiteral("J"));
    QCOMPARE(storedValue(home.filePath(QStringLiteral("geteilt/speicher.ini")),
                         QStringLiteral("ORDOVANT/DM/07WARENANFOEIGFIL")),
             QVariant(QStringLiteral("J")));
}

// --- Sharing ---

void TestSettingsStore::storeSharedByTwoTerminals()
{
    QTemporaryDir shared;
    QVERIFY(shared.isValid());
    const QByteArray ini =
        "[Einstellungen]\nPfad=" + shared.filePath(QStringLiteral("alle.ini")).toUtf8() + "\n";
    StandaloneHostHome first;
    QVERIFY(first.writeIni("[Terminal]\nID=01\n" + ini));
    StandaloneHost terminal1;
    StandaloneHostHome second;
    QVERIFY(second.writeIni("[Terminal]\nID=02\n" + ini));
    StandaloneHost terminal2;
    auto store1 = openStore(terminal1);
    auto store2 = openStore(terminal2);
    store1->writeLocal(terminal1.terminalId() + QStringLiteral("GV"), QStringLiteral("A"));
    store2->writeLocal(terminal2.terminalId() + QStringLiteral("GV"), QStringLiteral("B"));
    QCOMPARE(store1->readLocalDef(QStringLiteral("01GV"), QString()), QStringLiteral("A"));
    QCOMPARE(store1->readLocalDef(QStringLiteral("02GV"), QString()), QStringLiteral("B"));
    QCOMPARE(store2->readLocalDef(QStringLiteral("01GV"), QString()), QStringLiteral("A"));
}

void TestSettingsStore::otherWritersAreSeen()
{
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("K"), QStringLiteral("1"));
    QCOMPARE(store->readLocalDef(QStringLiteral("K"), QString()), QStringLiteral("1"));
    // Another workstation changes the value within the same millisecond: same size, same time stamp.
    const QString path = home.filePath(QStringLiteral("einstellungen.ini"));
    const QByteArray mine = home.readFile(QStringLiteral("einstellungen.ini"));
    const QDateTime stamp = QFileInfo(path).lastModified();
    QByteArray theirs = mine;
    theirs.replace("K=1", "K=2");
    QCOMPARE(theirs.size(), mine.size());
    QVERIFY(home.writeFile(QStringLiteral("einstellungen.ini"), theirs));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    QCOMPARE(store->readLocalDef(QStringLiteral("K"), QString()), QStringLiteral("2"));
    store->writeLocal(QStringLiteral("L"), QStringLiteral("3"));
    QCOMPARE(storedValue(path, QStringLiteral("ORDOVANT/DM/K")), QVariant(QStringLiteral("2")));
    QCOMPARE(StandaloneHost()
                 .createSimpleMask(Section, Subsection, {}, false, true, nullptr, {}, {})
                 ->readLocalDef(QStringLiteral("K"), QString()),
             QStringLiteral("2"));
}

void TestSettingsStore::saveWaitsWhileAReaderHoldsTheStore_data()
{
    QTest::addColumn<bool>("denyWriters");
    QTest::newRow("a reader") << false;
    QTest::newRow("a reader that lets nobody write") << true;
}

// On Windows a file that another program holds open cannot be replaced: the save waits for it to let go
// and loses nothing. (Elsewhere the replace goes through at once.)
void TestSettingsStore::saveWaitsWhileAReaderHoldsTheStore()
{
    QFETCH(bool, denyWriters);
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("K"), QStringLiteral("1"));
    const QString path = home.filePath(QStringLiteral("einstellungen.ini"));
    std::FILE *reader = openReader(path, denyWriters);
    QVERIFY(reader);
    std::thread letGo([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        std::fclose(reader);
    });
    const QString refused = refusal([&] { store->writeLocal(QStringLiteral("K"), QStringLiteral("2")); });
    letGo.join();
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    QCOMPARE(store->readLocalDef(QStringLiteral("K"), QString()), QStringLiteral("2"));
    QCOMPARE(storedValue(path, QStringLiteral("ORDOVANT/DM/K")), QVariant(QStringLiteral("2")));
    QVERIFY(home.logLines().isEmpty());
}

void TestSettingsStore::leftLockIsTakenOver_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("killedWriter"); // the lock of a writer of this machine that was killed instead
    QTest::addColumn<int>("ageSeconds");
    QTest::newRow("garbage") << QByteArray("kaputt\n") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("a killed writer of this machine") << QByteArray() << true << 0;
    QTest::newRow("another machine's, older than the stale time")
        << QByteArray("4242\nordovant\nkasse-anderswo\n") << false << 6;
}

// A lock file that holds no live lock does not hold up saves for longer than the save waits.
void TestSettingsStore::leftLockIsTakenOver()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, killedWriter);
    QFETCH(int, ageSeconds);
    StandaloneHostHome home;
    const QString lockPath = home.filePath(QStringLiteral("einstellungen.ini.schreibsperre"));
    // What the killed save left beside: its new file, and its working copy in the temporary folder.
    QTemporaryDir workingCopy(QDir(QDir::tempPath()).filePath(QStringLiteral("ordovant-XXXXXX")));
    bool agedWorkingCopy = false;
    if (killedWriter) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {LockLeaverSwitch, lockPath});
        QVERIFY(writer.waitForFinished(60000));
        QVERIFY(home.writeFile(QStringLiteral("einstellungen.ini.neu-0badf00d"), "[ORDOVANT]\n"));
        QVERIFY(QFile(workingCopy.filePath(QStringLiteral("kopie.ini"))).open(QIODevice::WriteOnly));
        // Windows' runtime cannot date a folder back (it opens folders for files only).
        std::error_code dated;
        std::filesystem::last_write_time(QFile::encodeName(workingCopy.path()).toStdString(),
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(24),
                                         dated);
        agedWorkingCopy = !dated;
    } else {
        QVERIFY(home.writeFile(QStringLiteral("einstellungen.ini.schreibsperre"), content));
    }
    if (ageSeconds > 0) {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                 QFileDevice::FileModificationTime));
    }
    QVERIFY(QFileInfo::exists(lockPath));
    StandaloneHost host;
    auto store = openStore(host);
    const QString refused = refusal([&] { store->writeLocal(QStringLiteral("GV07"), QStringLiteral("RESERV")); });
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    QCOMPARE(store->readLocalDef(QStringLiteral("GV07"), QString()), QStringLiteral("RESERV"));
    QVERIFY(!QFileInfo::exists(lockPath));
    QCOMPARE(QDir(home.path()).entryList({QStringLiteral("*.neu-*")}, QDir::Files), QStringList());
    QCOMPARE(QFileInfo::exists(workingCopy.path()), !agedWorkingCopy);
}

void TestSettingsStore::replacedFileIsTheRealFile_data()
{
    // Relative to a folder that holds real/einstellungen.ini and links to it.
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("the real path") << "real/einstellungen.ini" << "real/einstellungen.ini";
    QTest::newRow("relative parts") << "real/../real/./einstellungen.ini" << "real/einstellungen.ini";
    QTest::newRow("a link") << "verweis.ini" << "real/einstellungen.ini";
    QTest::newRow("a link to a link") << "verweis2.ini" << "real/einstellungen.ini";
    QTest::newRow("a link to the folder") << "ordnerverweis/einstellungen.ini" << "real/einstellungen.ini";
    QTest::newRow("a link to a file not made yet") << "neu.ini" << "real/neu.ini";
    QTest::newRow("a loop of links") << "kreis1.ini" << "";
    // A network share keeps its two leading slashes (Windows).
    QTest::newRow("a network share") << "\\\\server\\freigabe\\filiale\\einstellungen.ini"
                                     << "//server/freigabe/filiale/einstellungen.ini";
    QTest::newRow("a network share with relative parts")
        << "//server/freigabe/alt/../filiale/einstellungen.ini" << "//server/freigabe/filiale/einstellungen.ini";
}

// Writers that name one store by different names must lock and replace the same file.
void TestSettingsStore::replacedFileIsTheRealFile()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    const bool share = given.startsWith(QLatin1String("\\\\")) || given.startsWith(QLatin1String("//"));
#ifndef Q_OS_WIN
    if (share)
        QSKIP("Network paths are Windows paths");
#else
    if (!share)
        QSKIP("Symbolic links need rights of their own on Windows");
#endif
    QTemporaryDir dir;
    const QDir base(QFileInfo(dir.path()).canonicalFilePath());
    QVERIFY(base.mkpath(QStringLiteral("real")));
    QVERIFY(QFile(base.filePath(QStringLiteral("real/einstellungen.ini"))).open(QIODevice::WriteOnly));
    const QList<std::pair<const char *, const char *>> links{
        {"verweis.ini", "real/einstellungen.ini"}, {"verweis2.ini", "verweis.ini"}, {"ordnerverweis", "real"},
        {"neu.ini", "real/neu.ini"}, {"kreis1.ini", "kreis2.ini"}, {"kreis2.ini", "kreis1.ini"}};
    for (const auto &[link, target] : links)
        QVERIFY(QFile::link(QLatin1String(target), base.filePath(QLatin1String(link))));
    const QString path = share ? given : base.filePath(given);
    QString replaced;
    const QString refused = refusal([&] { replaced = replacedFile(path); });
    if (expected.isEmpty())
        QVERIFY(!refused.isEmpty());
    else
        QCOMPARE(replaced, share ? expected : base.filePath(expected));
}

void TestSettingsStore::processesWritingAtOnceLoseNothing()
{
    StandaloneHostHome home;
    constexpr int Writers = 4;
    constexpr int KeysEach = 12;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 0; w < Writers; ++w) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(),
                       {WriterSwitch, QStringLiteral("P%1").arg(w), QString::number(KeysEach)});
        writers.push_back(std::move(process));
    }
    for (auto &process : writers) {
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
    }
    StandaloneHost host;
    auto store = openStore(host);
    for (int w = 0; w < Writers; ++w) {
        for (int n = 0; n < KeysEach; ++n) {
            const QString key = QStringLiteral("P%1-%2").arg(w).arg(n);
            QCOMPARE(store->readLocalDef(key, QString()), key + QStringLiteral("-wert"));
        }
    }
    QVERIFY(store->readLocalDef(QStringLiteral("ZULETZT"), QString())
                .endsWith(QStringLiteral("-%1").arg(KeysEach - 1)));
}

// --- Broken stores ---

void TestSettingsStore::garbageStoreIsNeverOverwritten_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line"); // the line the refusal names
    QTest::newRow("prose") << QByteArray("Das hier hat jemand aus Versehen hineinkopiert.\n") << 1;
    QTest::newRow("open section") << QByteArray("[ORDOVANT\nDM\\07GV=X\n") << 1;
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16) << 1;
    QTest::newRow("latin-1") << QByteArray("[ORDOVANT]\nDM\\07GV=\xdc\x62\x65rpr\xfc\x66ung\n") << 2;
    QTest::newRow("zero byte") << QByteArray("[A]\nx=1\ny=\0\n", 12) << 3;
    // Every line holds a "=", but the keys are no names.
    QTest::newRow("a copied log") << QByteArray(
        "2026-12-08T07:55:01 07 TDMOrdovant.Einstellung_laden: Pfad=einstellungen.ini\n"
        "2026-12-08T07:55:02 07 TQVXProgramm.ShowException: In host.ini ist Zeitlimit=\"0\" falsch\n") << 1;
    QTest::newRow("keys without a section") << QByteArray("PATH=/usr/bin\nLANG=de_DE.UTF-8\n") << 1;
    QTest::newRow("section name with a blank") << QByteArray("[Desktop Entry]\nName=ordovant\n") << 1;
    // QSettings would read "\T" as a tab and save the path changed.
    QTest::newRow("a host.ini with a Windows path")
        << QByteArray("; Filiale 42\n[Terminal]\nID=07\n[Verzeichnisse]\nFERTIG=C:\\Torvelin\\bin\n") << 5;
    QTest::newRow("a backslash that joins the next line")
        << QByteArray("[Datenbank]\nPfad=D:\\\n[Einstellungen]\nPfad=x.ini\n") << 2;
}

void TestSettingsStore::garbageStoreIsNeverOverwritten()
{
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    StandaloneHostHome home;
    QVERIFY(home.writeFile(QStringLiteral("einstellungen.ini"), content));
    StandaloneHost host;
    auto store = openStore(host);
    const QString named = QStringLiteral("Zeile %1").arg(line);
    QVERIFY2(refusal([&] { store->readLocalDef(QStringLiteral("07GV"), QStringLiteral("KUNDBEST")); })
                 .contains(named),
             qPrintable(named));
    QVERIFY(refusal([&] { store->writeLocal(QStringLiteral("07GV"), QStringLiteral("X")); }).contains(named));
    QCOMPARE(home.readFile(QStringLiteral("einstellungen.ini")), content);
}

void TestSettingsStore::unwritablePathFails_data()
{
    QTest::addColumn<QByteArray>("storePath");
    QTest::addColumn<QString>("reason"); // in the refusal
    QTest::newRow("below a file") << QByteArray("datei/einstellungen.ini") << "Sperrdatei";
    QTest::newRow("a directory") << QByteArray("ordner") << "kann nicht gelesen werden";
}

void TestSettingsStore::unwritablePathFails()
{
    QFETCH(QByteArray, storePath);
    QFETCH(QString, reason);
    StandaloneHostHome home;
    QVERIFY(home.writeFile(QStringLiteral("datei"), "kein Verzeichnis"));
    QVERIFY(home.writeFile(QStringLiteral("ordner/inhalt"), "x"));
    QVERIFY(home.writeIni("[Einstellungen]\nPfad=" + storePath + "\n"));
    StandaloneHost host;
    auto store = openStore(host);
    const QString refused = refusal([&] { store->writeLocal(QStringLiteral("07GV"), QStringLiteral("X")); });
    QVERIFY2(refused.contains(reason), qPrintable(refused));
    QCOMPARE(home.readFile(QStringLiteral("datei")), QByteArray("kein Verzeichnis"));
    QVERIFY(QFileInfo(home.filePath(QStringLiteral("ordner"))).isDir());
}

void TestSettingsStore::readOnlyStoreFails_data()
{
    QTest::addColumn<bool>("directoryToo");
    QTest::newRow("file read-only") << false;
    QTest::newRow("file and directory read-only") << true;
}

void TestSettingsStore::readOnlyStoreFails()
{
    QFETCH(bool, directoryToo);
    StandaloneHostHome home;
    StandaloneHost host;
    auto store = openStore(host);
    store->writeLocal(QStringLiteral("07GV"), QStringLiteral("ALT"));
    const QString path = home.filePath(QStringLiteral("einstellungen.ini"));
    const QByteArray before = home.readFile(QStringLiteral("einstellungen.ini"));
#ifdef Q_OS_UNIX
    // Permissions do not restrict root: another user, owner of the store, tries the save.
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("Needs setpriv to act as another user");
        constexpr uid_t Owner = 1000;
        for (const QString &name : {home.path(), path})
            QVERIFY(::chown(QFile::encodeName(name).constData(), Owner, Owner) == 0);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (directoryToo)
            QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::ExeOwner));
        const auto [exitCode, output] =
            writeAs({Owner, Owner, QString()}, home.path(), QStringLiteral("NEU"));
        QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY2(exitCode == 1 && output.contains("ist schreibgeschützt"), output.constData());
        QCOMPARE(home.readFile(QStringLiteral("einstellungen.ini")), before);
        return;
    }
#endif
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    if (directoryToo)
        QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::ExeOwner));
    // Windows' read-only attribute holds for root under Wine too.
    const bool restricted = !QFileInfo(path).isWritable();
    if (restricted) {
        const QString refused = refusal([&] { store->writeLocal(QStringLiteral("07GV"), QStringLiteral("NEU")); });
        // In German, and not Qt's "is not writable".
        QVERIFY2(refused.contains(QStringLiteral("ist schreibgeschützt")), qPrintable(refused));
    }
    QVERIFY(QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (!restricted)
        QSKIP("Permissions do not restrict this user");
    QCOMPARE(home.readFile(QStringLiteral("einstellungen.ini")), before);
    QCOMPARE(store->readLocalDef(QStringLiteral("07GV"), QString()), QStringLiteral("ALT"));
    // The refused value must not come back with the next write once the store is writable again.
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    store->writeLocal(QStringLiteral("07HERKUNFT"), QStringLiteral("O"));
    QCOMPARE(store->readLocalDef(QStringLiteral("07GV"), QString()), QStringLiteral("ALT"));
    QCOMPARE(storedValue(path, QStringLiteral("ORDOVANT/DM/07GV")), QVariant(QStringLiteral("ALT")));
}

// --- Stores of other writers ---

void TestSettingsStore::storeInAnyFormQSettingsWritesIsTaken_data()
{
    QTest::addColumn<QByteArray>("content");
    // QSettings writes CRLF on Windows and LF elsewhere; every platform reads both.
    QByteArray written = writtenByQSettings();
    QVERIFY(written.contains("[ORDOVANT]"));
    written.replace("\r\n", "\n");
    QByteArray windows = written;
    windows.replace("\n", "\r\n");
    QTest::newRow("as QSettings writes it") << written;
    QTest::newRow("as QSettings writes it on Windows") << windows;
    QTest::newRow("saved by Notepad with a byte order mark") << "\xef\xbb\xbf" + windows;
    QTest::newRow("by hand") << QByteArray("; Filiale 42\n[ORDOVANT/DM]\nGV07 = KUNDBEST|RESERV\n"
                                           "# alt: GV07=KUNDBEST\n  HERKUNFT07=O|K\n\n[ANDERE]\nx=a, b\n");
    QTest::newRow("comments with #") << QByteArray("# Filiale 42\r\n[ORDOVANT/DM]\r\n# Kasse 3 wie 07\r\n"
                                                  "GV07=KUNDBEST|RESERV\r\n  #GV08=ALT\r\n");
}

// A save keeps every other value of the store as QSettings reads it.
void TestSettingsStore::storeInAnyFormQSettingsWritesIsTaken()
{
    QFETCH(QByteArray, content);
    StandaloneHostHome home;
    QVERIFY(home.writeFile(QStringLiteral("einstellungen.ini"), content));
    QVariantMap expected = settingsIn(content);
    StandaloneHost host;
    auto store = openStore(host);
    QCOMPARE(store->readLocalDef(QStringLiteral("GV07"), QString()), QStringLiteral("KUNDBEST|RESERV"));
    store->writeLocal(QStringLiteral("GV08"), QStringLiteral("RESERV"));
    expected.insert(QStringLiteral("ORDOVANT/DM/GV08"), QStringLiteral("RESERV"));
    QCOMPARE(settingsIn(home.readFile(QStringLiteral("einstellungen.ini"))), expected);
    QCOMPARE(store->readLocalDef(QStringLiteral("GV07"), QString()), QStringLiteral("KUNDBEST|RESERV"));
}

void TestSettingsStore::saveKeepsTheStoreWritableForOthers_data()
{
    QTest::addColumn<int>("directoryMode");
    QTest::addColumn<int>("storeMode");
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("writer"); // its group is its own id
    QTest::addColumn<QString>("groups");
    QTest::addColumn<QString>("refusal"); // empty: the save works
    QTest::addColumn<uint>("groupAfter");
    QTest::addColumn<QString>("acl"); // an ACL entry the store carries, kept by the save
    QTest::newRow("a member of the store's group")
        << 0775 << 0664 << 1000u << 1001u << QStringLiteral("2000") << QString() << 2000u << QString();
    QTest::newRow("root") << 0775 << 0640 << 1000u << 0u << QString() << QString() << 2000u << QString();
    QTest::newRow("the owner, not in the store's group")
        << 0777 << 0660 << 1002u << 1002u << QString() << QStringLiteral("Gruppe") << 2000u << QString();
    // The group may do no more than everybody else: nobody loses anything with it.
    QTest::newRow("the owner, not in a group without rights of its own")
        << 0777 << 0644 << 1001u << 1001u << QString() << QString() << 1001u << QString();
    // Another user's file in a sticky directory cannot be replaced; tried again for a while, as on Windows.
    QTest::newRow("sticky directory") << 01777 << 0666 << 1000u << 1001u << QStringLiteral("2000")
                                      << QStringLiteral("ersetzt") << 2000u << QString();
    // The group bits show the ACL's mask: without the ACL they would let the group write.
    QTest::newRow("root, a user granted by an ACL")
        << 0777 << 0640 << 1000u << 0u << QString() << QString() << 2000u << QStringLiteral("u:1003:rw");
}

// A store of group 2000; another user saves. The new file keeps the group and the permission bits (the
// owner only where the writer may set it), so the owner of before can still save; where a group that
// may do more than everybody else cannot be kept, nothing changes.
void TestSettingsStore::saveKeepsTheStoreWritableForOthers()
{
#ifdef Q_OS_UNIX
    QFETCH(int, directoryMode);
    QFETCH(int, storeMode);
    QFETCH(uint, owner);
    QFETCH(uint, writer);
    QFETCH(QString, groups);
    QFETCH(QString, refusal);
    QFETCH(uint, groupAfter);
    QFETCH(QString, acl);
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("Needs root and setpriv to act as other users");
    constexpr gid_t SharedGroup = 2000;
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("einstellungen.ini"));
    const QByteArray encoded = QFile::encodeName(store);
    QVERIFY(::chown(QFile::encodeName(dir.path()).constData(), 0, SharedGroup) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), mode_t(directoryMode)) == 0);
    const QByteArray content("[ORDOVANT]\nDM\\GV07=RESERV\n");
    {
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QVERIFY(::chown(encoded.constData(), owner, SharedGroup) == 0);
    QVERIFY(::chmod(encoded.constData(), mode_t(storeMode)) == 0);
    if (!acl.isEmpty()) {
        if (QProcess::execute(QStringLiteral("setfacl"), {QStringLiteral("-m"), acl, store}) != 0)
            QSKIP("setfacl (package acl) cannot set an ACL here");
        struct stat granted = {};
        QVERIFY(::stat(encoded.constData(), &granted) == 0);
        storeMode = int(granted.st_mode & 07777);
    }

    const auto [exitCode, output] = writeAs({writer, writer, groups}, dir.path(), QStringLiteral("W"));
    struct stat after = {};
    QVERIFY(::stat(encoded.constData(), &after) == 0);
    QCOMPARE(after.st_gid, gid_t(groupAfter));
    QCOMPARE(int(after.st_mode & 07777), storeMode);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("einstellungen.ini")});
    if (!refusal.isEmpty()) {
        QVERIFY2(exitCode == 1 && output.contains(refusal.toUtf8()), output.constData());
        QCOMPARE(after.st_uid, uid_t(owner));
        QFile file(store);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        return;
    }
    QVERIFY2(exitCode == 0, output.constData());
    QCOMPARE(after.st_uid, writer == 0 ? uid_t(owner) : uid_t(writer));
    QCOMPARE(storedValue(store, QStringLiteral("ORDOVANT/DM/GV07")), QVariant(QStringLiteral("RESERV")));
    QCOMPARE(storedValue(store, QStringLiteral("ORDOVANT/DM/W-0")), QVariant(QStringLiteral("W-0-wert")));
    if (!acl.isEmpty()) {
        QProcess getfacl;
        getfacl.start(QStringLiteral("getfacl"),
                      {QStringLiteral("-n"), QStringLiteral("--omit-header"), store});
        QVERIFY(getfacl.waitForFinished(60000));
        const QByteArray entries = getfacl.readAllStandardOutput();
        QVERIFY2(entries.contains("user:1003:rw-") && entries.contains("group::r--"), entries.constData());
    }
    if (owner == writer)
        return;
    // The owner of before, in the group, saves after the other user.
    const auto [ownerExitCode, ownerOutput] =
        writeAs({owner, owner, QString::number(SharedGroup)}, dir.path(), QStringLiteral("O"));
    QVERIFY2(ownerExitCode == 0, ownerOutput.constData());
    QCOMPARE(storedValue(store, QStringLiteral("ORDOVANT/DM/W-0")), QVariant(QStringLiteral("W-0-wert")));
    QCOMPARE(storedValue(store, QStringLiteral("ORDOVANT/DM/O-0")), QVariant(QStringLiteral("O-0-wert")));
#else
    QSKIP("Unix owners, groups and permission bits");
#endif
}

// --- Reading ---

void TestSettingsStore::readsWhatQSettingsReads_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("plain") << QByteArray(
        "[ORDOVANT/DM]\nGV07=KUNDBEST|RESERV\nHERKUNFT07=O|K\n[Terminal]\nID=07\n");
    QTest::newRow("as QSettings writes it") << QByteArray("[ORDOVANT]\nDM\\GV07=KUNDBEST\n");
    QTest::newRow("byte order mark and CRLF")
        << QByteArray("\xef\xbb\xbf[ORDOVANT]\r\nDM\\GV07=KUNDBEST\r\n");
    QTest::newRow("blanks, tabs, CRLF, comments")
        << QByteArray("; Kommentar\r\n[A]\r\nx = 1 \t\r\n\r\ny=\t\r\nz=a\tb\n");
    QTest::newRow("umlauts and equals signs") << QByteArray("[A]\nx=Grüße=ok\n");
    QTest::newRow("quoted, escaped, lists")
        << QByteArray("[A]\nx=\"a b\"\ny=a,b\nz=\\\"q\\\"|r\nw=a ; Rest\n");
    QTest::newRow("continued line") << QByteArray("[A]\nx=a\\\n  b\n");
    QTest::newRow("same key twice") << QByteArray("[A/B]\nx=2\n[A]\nB/x=1\n[A/B]\nx=3\n");
    QTest::newRow("same key in another letter case")
        << QByteArray("[ORDOVANT/DM]\nGVkasse=A\nGVKASSE=B\n[a/b]\nx=1\n[A/B]\nX=2\n");
    QTest::newRow("general section and variants")
        << QByteArray("[General]\nx=1\n[A]\ny=@Invalid()\nz=@@at\n");
    QTest::newRow("escaped and odd names") << QByteArray("[A%20B]\nx%C4=1\n[C//D/]\ny=2\n[E]\nGV 07=3\n");
    QTest::newRow("indented lines and no value") << QByteArray("[A]\n  x=1\n[B]\nnur text\n");
    QTest::newRow("empty") << QByteArray();
}

void TestSettingsStore::readsWhatQSettingsReads()
{
    QFETCH(QByteArray, content);
    IniSnapshot snapshot(content, QStringLiteral("test"));
    QHash<QString, QString> expected;
    for (const QString &key : snapshot.settings().allKeys())
        expected.insert(key, IniFile::text(snapshot.settings().value(key)));
    QCOMPARE(IniFile::values(content, QStringLiteral("test")), expected);
}

int main(int argc, char *argv[])
{
    // A writer killed while it holds the store's lock.
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == LockLeaverSwitch) {
        QCoreApplication app(argc, argv);
        QLockFile lock(QCoreApplication::arguments().at(2));
        std::fflush(nullptr);
        std::_Exit(lock.tryLock(0) ? 0 : 1);
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == WriterSwitch) {
        QCoreApplication app(argc, argv);
        return runSettingsWriter(QCoreApplication::arguments());
    }
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
