#pragma once

#include "host/hostbackend.h"
#include "host/standalone/hostlog.h"

#include <memory>

class BranchDatabase;
class HostConfig;

// The real, small host that runs the system outside the branch software: a host directory with
// host.ini, an INI settings store, a read-only SQLite branch database, a log file and QProcess.
std::unique_ptr<HostBackend> makeStandaloneHost();

// The host directory is ORDOVANT_HOME, read when the backend is made, or the application data
// directory. Nothing is read in the constructor; failures surface in the operations that need it.
class StandaloneHost final : public HostBackend
{
public:
    StandaloneHost();
    ~StandaloneHost() override;

    void programmInit(const QString &programId, TEnumProzessTypen prozessTyp, TPVR_InstanceCount instanzen,
                      int wert, bool flag) override;
    void showException(const QString &message, bool flag) override;
    QStringList commandLine() override;
    void applicationTerminate() override;
    bool applicationTerminated() override { return m_terminated; }

    void registerException(const QString &label, const QString &message, bool report) override;
    void fehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2, int wert1,
                     int wert2) override;
    void fehlerTerminate(const QString &label, int nummer, const QString &text1, const QString &text2,
                         int wert1, int wert2) override;
    void showMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1, int wert1,
                     int wert2, const QString &text2, bool flag) override;
    QString terminalId() override;

    bool checkParameter(const QString &name) override;
    QString directoryByName(const QString &name, const QString &text, bool flag) override;
    QDate businessDate() override;

    void formInit(const QString &name, bool flag) override;
    bool designingInComponentState() override { return false; }

    std::unique_ptr<SimpleMaskBackend> createSimpleMask(const QString &section, const QString &subsection,
                                                        const QString &text, bool flag1, bool flag2,
                                                        QObject *object, const QString &text2,
                                                        const QString &text3) override;
    std::unique_ptr<AppExecBackend> createAppExec() override;
    std::unique_ptr<WarenabgabeManiBackend> createWarenabgabeMani() override;
    std::unique_ptr<DMWarenAbgabeBackend> createDMWarenAbgabe() override;
    std::unique_ptr<AufgabenManiBackend> createAufgabenMani() override;
    std::unique_ptr<BelegAuswahlBackend> createBelegAuswahl() override;

    QString programId() const { return m_programId; }

    // The text of a message of the host catalogue.
    static QString meldungText(const QString &gruppe, int nummer);

private:
    void log(const QString &label, const QString &message, bool toStandardError) noexcept;
    static bool canShowDialogs();

    std::shared_ptr<HostConfig> m_config;
    std::shared_ptr<BranchDatabase> m_database;
    HostLog m_log;
    QString m_programId;
    bool m_terminated = false;
    QStringList m_commandLine;
};
