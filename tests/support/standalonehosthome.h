#pragma once

#include "host/hostbackend.h"
#include "host/standalone/standalonehost.h"
#include "hostsetup.h"

#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <utility>

// A host directory in a temporary folder for the standalone host: ORDOVANT_HOME points at it while
// the object lives, so hosts made meanwhile (and programs started by ProgramRun) read their host.ini,
// store, database and log from here. prepare() makes what a HostSetup describes; what cannot be made
// is collected, not thrown, so that a row reports it (PREPARE_HOME).
class StandaloneHostHome final
{
public:
    StandaloneHostHome();
    ~StandaloneHostHome();
    StandaloneHostHome(const StandaloneHostHome &) = delete;
    StandaloneHostHome &operator=(const StandaloneHostHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // What ORDOVANT_HOME names: the directory, or a place below it.
    QString home() const { return m_setup.home.isEmpty() ? path() : filePath(m_setup.home); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // False when the setup cannot be made: skipReason() says why where this platform or user cannot,
    // error() what failed otherwise.
    bool prepare(const HostSetup &setup);
    QString error() const { return m_error; }
    QString skipReason() const { return m_skipReason; }
    const HostSetup &setup() const { return m_setup; }
    // The session's variables as prepared (a null value: removed); they hold in this process too.
    const QList<std::pair<QString, QString>> &variables() const { return m_variables; }

    bool writeFile(const QString &name, const QByteArray &content) const;
    bool writeIni(const QByteArray &content) const;
    QByteArray readFile(const QString &name) const;
    QStringList logLines() const;

    // Every entry below the directory but the log (HostFiles::snapshot); what changed since `before`.
    QMap<QString, QString> snapshot() const;
    QString changesSince(const QMap<QString, QString> &before) const;

    // A writer's exclusive transaction on filiale.db, where the setup wants one. Hashing the file closes a
    // handle of it, which drops every lock this process holds on it: take it after a snapshot.
    void lockDatabase();
    void releaseDatabase();

    std::unique_ptr<StandaloneHost> makeHost() const { return std::make_unique<StandaloneHost>(); }

private:
    class XServer;

    void fail(const QString &message);
    void skip(const QString &reason);
    void mount(const HostSetup::Mount &mount);
    void fill(const HostSetup::Mount &mount);
    void makeEntry(const HostSetup::Entry &entry);
    void setMode(const QString &relative, int mode);
    void giveAway(const QString &relative, int owner);
    void database(const QStringList &rows);
    void sqlite(const QString &relative, const QByteArray &statement);
    void checkModes();
    void probeHostName();
    void startXServer(HostSetup::XServer state);
    // Sets (a null value: removes) a variable of this process until the home goes.
    void putVariable(const QString &name, const QString &value);
    void useTemporaryFolder(const QString &path);
    QString mountPoint(const HostSetup::Mount &mount) const;
    QString inHome(const QString &name) const; // relative to the directory

    QTemporaryDir m_dir;
    HostSetup m_setup;
    QString m_error;
    QString m_skipReason;
    QStringList m_mounted;
    std::unique_ptr<XServer> m_xServer;
    bool m_locked = false;
    QList<std::pair<QString, QString>> m_variables;
    // The variables this home changed, with their values before, to restore in reverse order.
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_previous;
};

// In a test function: prepares the home as `setup` says, skips the row where this platform or user
// cannot have it, fails it where making it failed.
#define PREPARE_HOME(home, setup)                                                                            \
    do {                                                                                                     \
        if (!(home).prepare(setup)) {                                                                        \
            if (!(home).skipReason().isEmpty())                                                              \
                QSKIP(qPrintable((home).skipReason()));                                                      \
            QFAIL(qPrintable((home).error()));                                                               \
        }                                                                                                    \
    } while (false)

// Installs a standalone host made in the current ORDOVANT_HOME for the object's life.
class InstalledStandaloneHost final
{
public:
    InstalledStandaloneHost() : m_previous(installHostBackend(makeStandaloneHost())) {}
    ~InstalledStandaloneHost() { installHostBackend(std::move(m_previous)); }
    InstalledStandaloneHost(const InstalledStandaloneHost &) = delete;
    InstalledStandaloneHost &operator=(const InstalledStandaloneHost &) = delete;

private:
    std::unique_ptr<HostBackend> m_previous;
};
