#pragma once

#include <QByteArrayList>
#include <QList>
#include <QProcess>
#include <QString>

#include <utility>

class StandaloneHostHome;

// A run of the real program, or of another program of this build, in a host directory: the session of
// the home's setup (ORDOVANT_HOME, offscreen, then the setup's variables), everything it prints kept,
// and the run checked against what a row expects.
class ProgramRun final
{
public:
    enum class Outcome {
        EndsQuietly,     // ends by itself with exit code 0 and writes no report
        EndsWithReport,  // ends by itself with exit code 0 and reports the failure
        ReportsAndWaits, // reports the failure and goes on to its notice, which waits for the user
        EndsWithReportOnStandardError, // as EndsWithReport, where no log can be written
    };
    // A report: "<date> <terminal> <label>: <message>" whose message holds `fragment`.
    struct Report
    {
        QString label;
        QString fragment;
        QString terminal = QStringLiteral("07");
    };

    // How long a run may take before it counts as hung: a bound, no timing; a sanitizer build on a busy
    // machine takes seconds to start.
    static constexpr int FinishTimeoutMs = 60000;

    static QString ordovant();
    static QString databaseTool();
    static QString settingsWriter();
    // Why this platform cannot hand the arguments to a program at all; empty where it can.
    static QString unpassable(const QByteArrayList &arguments);
    // The process runs on a machine without a host name (Linux: a namespace of its own, root only).
    static void withoutHostName(QProcess &process);

    explicit ProgramRun(StandaloneHostHome &home);
    ~ProgramRun();
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    // A variable of this run alone, set after the session's.
    void setVariable(const QString &name, const QString &value) { m_variables.append({name, value}); }
    void setWorkingDirectory(const QString &path) { m_process.setWorkingDirectory(path); }

    // Starts `program` and waits until it runs. An argument that is not UTF-8 reaches it through a shell.
    bool start(const QByteArrayList &arguments = {}, const QString &program = ordovant());
    // The line on standard input that a settings writer waits for; standard input is closed after it.
    bool sendStartLine();
    // True when the program ended by itself within the time; ends it otherwise.
    bool finish(int timeoutMs = FinishTimeoutMs);
    // Ends the program where it still runs and lets go of the database.
    void stop();
    bool exitedCleanly() const;
    QProcess &process() { return m_process; }
    QByteArray standardOutput();
    QByteArray standardError();
    // What the program printed so far, then the log: the message of a failed check.
    QString transcript();

    // Checks the run against a row's expectation; a failure returns from here (QTest).
    void expect(Outcome outcome, const Report &report, int timeoutMs = FinishTimeoutMs);

private:
    void collect();

    StandaloneHostHome &m_home;
    QProcess m_process;
    QList<std::pair<QString, QString>> m_variables;
    QByteArray m_output;
    QByteArray m_errors;
    bool m_started = false;
};

Q_DECLARE_METATYPE(ProgramRun::Outcome)
Q_DECLARE_METATYPE(ProgramRun::Report)
