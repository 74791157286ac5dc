#include "programrun.h"

#include "hostfiles.h"
#include "standalonehosthome.h"

#include <QStringDecoder>
#include <QtTest>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <unistd.h>
#endif

namespace {

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

QString ProgramRun::ordovant()
{
    return QStringLiteral(ORDOVANT_BINARY);
}

QString ProgramRun::databaseTool()
{
    return QStringLiteral(ORDOVANT_DB_TOOL);
}

QString ProgramRun::settingsWriter()
{
    return QStringLiteral(SETTINGS_WRITER);
}

QString ProgramRun::unpassable(const QByteArrayList &arguments)
{
#ifdef Q_OS_WIN
    if (!std::all_of(arguments.cbegin(), arguments.cend(), isUtf8))
        return QStringLiteral("A Windows command line is UTF-16 text: an argument cannot be other bytes");
    qsizetype length = 0;
    for (const QByteArray &argument : arguments)
        length += argument.size() + 3; // a blank and quotes
    if (length > 32767)
        return QStringLiteral("Windows hands a program at most 32767 characters of command line");
#else
    Q_UNUSED(arguments)
#endif
    return {};
}

void ProgramRun::withoutHostName([[maybe_unused]] QProcess &process)
{
#ifdef Q_OS_LINUX
    process.setChildProcessModifier([] {
        if (::unshare(CLONE_NEWUTS) != 0 || ::sethostname("", 0) != 0)
            ::_exit(3);
    });
#endif
}

ProgramRun::ProgramRun(StandaloneHostHome &home) : m_home(home) {}

ProgramRun::~ProgramRun()
{
    stop();
}

bool ProgramRun::start(const QByteArrayList &arguments, const QString &program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORDOVANT_HOME"), m_home.home());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const auto &[name, value] : m_home.variables() + m_variables) {
        if (value.isNull())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    m_process.setProcessEnvironment(environment);
    if (m_home.setup().noHostName)
        withoutHostName(m_process);
    m_home.lockDatabase();
    if (!m_home.error().isEmpty())
        return false;
    if (std::all_of(arguments.cbegin(), arguments.cend(), isUtf8)) {
        QStringList texts;
        for (const QByteArray &argument : arguments)
            texts << QString::fromUtf8(argument);
        m_process.start(program, texts);
    } else {
        // A shell hands them on byte for byte. (A command substitution drops trailing newlines, so no
        // such argument ends in one.)
        QString script = QStringLiteral("exec \"$0\"");
        for (const QByteArray &argument : arguments) {
            script += QStringLiteral(" \"$(printf '");
            for (const char byte : argument)
                script += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
            script += QStringLiteral("')\"");
        }
        m_process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, program});
    }
    m_started = m_process.waitForStarted(FinishTimeoutMs);
    return m_started;
}

bool ProgramRun::sendStartLine()
{
    m_process.write("los\n");
    const bool sent = m_process.waitForBytesWritten(FinishTimeoutMs);
    m_process.closeWriteChannel();
    return sent;
}

bool ProgramRun::finish(int timeoutMs)
{
    // A program that never ran did not end well.
    const bool ended =
        m_started && (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs));
    if (!ended)
        stop();
    collect();
    m_home.releaseDatabase();
    return ended;
}

void ProgramRun::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(FinishTimeoutMs);
    }
    m_home.releaseDatabase();
}

bool ProgramRun::exitedCleanly() const
{
    return m_started && m_process.state() == QProcess::NotRunning &&
           m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QByteArray ProgramRun::standardOutput()
{
    collect();
    return m_output;
}

QByteArray ProgramRun::standardError()
{
    collect();
    return m_errors;
}

QString ProgramRun::transcript()
{
    collect();
    return QString::fromLocal8Bit(m_output + '\n' + m_errors) + QStringLiteral("\nordovant.log:\n") +
           m_home.logLines().join(u'\n');
}

void ProgramRun::collect()
{
    m_output += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
}

void ProgramRun::expect(Outcome outcome, const Report &report, int timeoutMs)
{
    const auto reported = [&](const QStringList &lines) {
        return HostFiles::hasReport(lines, report.terminal, report.label, report.fragment);
    };
    if (outcome == Outcome::ReportsAndWaits) {
        QTRY_VERIFY2_WITH_TIMEOUT(reported(m_home.logLines()), qPrintable(transcript()), timeoutMs);
        // The failure did not end the run: the notice is up and waits for the user.
        QVERIFY2(m_process.state() == QProcess::Running, qPrintable(transcript()));
        return;
    }
    if (!finish(timeoutMs))
        QFAIL(qPrintable(QStringLiteral("still running: a window waits or the program hangs\n") +
                         transcript()));
    QCOMPARE(m_process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_process.exitCode() == 0, qPrintable(transcript()));
    if (outcome == Outcome::EndsQuietly)
        QVERIFY2(m_home.logLines().isEmpty(), qPrintable(transcript()));
    else if (outcome == Outcome::EndsWithReportOnStandardError)
        QVERIFY2(reported(QString::fromLocal8Bit(m_output + '\n' + m_errors).split(u'\n')),
                 qPrintable(transcript()));
    else
        QVERIFY2(reported(m_home.logLines()), qPrintable(transcript()));
}
