#include "host/hosterror.h"
#include "host/standalone/processlauncher.h"
#include "support/branchprogram.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The branch program as the launcher starts it: from its own directory, detached, with exactly the one
// argument, in a normal window, also where the directory's path holds blanks.

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// "key=value" lines of gestartet-wie.txt.
QString startDetail(const QString &text, const QString &key)
{
    for (const QString &line : text.split(u'\n')) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private slots:
    void startsTheBranchProgramWithOneArgument_data();
    void startsTheBranchProgramWithOneArgument();
    void refusesWhatIsNoProgramOfTheDirectory_data();
    void refusesWhatIsNoProgramOfTheDirectory();
};

void TestLauncher::startsTheBranchProgramWithOneArgument_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("installedAs");
    QTest::addColumn<QString>("calledAs");
    QTest::addColumn<QString>("argument");
    QTest::newRow("print") << "bin"
                           << "torvelin.exe"
                           << "torvelin.exe"
                           << "-AutoAufgDruck";
    QTest::newRow("tasks, name in capitals") << "bin"
                                             << "torvelin.exe"
                                             << "TORVELIN.EXE"
                                             << "-AbsortAufgaben";
    QTest::newRow("documents, blanks in the path") << "Torvelin Bin/mit Leerzeichen"
                                                   << "TORVELIN.EXE"
                                                   << "TORVELIN.EXE"
                                                   << "-OffeneBelege";
}

void TestLauncher::startsTheBranchProgramWithOneArgument()
{
    QFETCH(QString, folder);
    QFETCH(QString, installedAs);
    QFETCH(QString, calledAs);
    QFETCH(QString, argument);
    QTemporaryDir home;
    const QString directory = QDir(home.path()).filePath(folder);
    QVERIFY(installBranchProgram(directory, installedAs));

    ProcessLauncher().execute(
        {QDir::toNativeSeparators(directory), calledAs, {argument}, false, TWindowState::Normal});

    const QString arguments = QDir(directory).filePath(QStringLiteral("gestartet.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(arguments), 20000);
    QCOMPARE(readText(arguments), argument + u'\n');
    const QString how = readText(QDir(directory).filePath(QStringLiteral("gestartet-wie.txt")));
    QCOMPARE(QDir(startDetail(how, QStringLiteral("cwd"))).canonicalPath(), QDir(directory).canonicalPath());
#ifdef Q_OS_WIN
    QCOMPARE(startDetail(how, QStringLiteral("show")), QStringLiteral("1")); // SW_SHOWNORMAL
    QVERIFY2(startDetail(how, QStringLiteral("cmdline")).endsWith(u' ' + argument), qPrintable(how));
#endif
    // Windows keeps a program's file while it runs: the stand-in may still be ending.
    QTRY_VERIFY_WITH_TIMEOUT(home.remove(), 10000);
}

void TestLauncher::refusesWhatIsNoProgramOfTheDirectory_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::newRow("missing directory") << "fehlt"
                                       << "torvelin.exe";
    QTest::newRow("missing program") << "bin"
                                     << "anderes.exe";
    QTest::newRow("a path for a name") << "bin"
                                       << "..\\bin\\torvelin.exe";
}

void TestLauncher::refusesWhatIsNoProgramOfTheDirectory()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QTemporaryDir home;
    QVERIFY(installBranchProgram(QDir(home.path()).filePath(QStringLiteral("bin"))));

    QVERIFY_THROWS_EXCEPTION(
        HostError, ProcessLauncher().execute(
                       {QDir(home.path()).filePath(folder), name, {QStringLiteral("-AutoAufgDruck")}}));
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
