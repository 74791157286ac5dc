#include "standalonehost.h"

#include "host/standalone/branchdb/branchdatabase.h"
#include "host/standalone/config/connectionoptions.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/platform/display.h"
#include "host/standalone/store/inisettingsstore.h"
#include "processlauncher.h"
#include "standaloneaufgabenmani.h"
#include "standalonebelegauswahl.h"
#include "standalonedmwarenabgabe.h"
#include "standalonesimplemask.h"
#include "standalonewarenabgabemani.h"

#include <QApplication>
#include <QMessageBox>

std::unique_ptr<HostBackend> makeStandaloneHost()
{
    return std::make_unique<StandaloneHost>();
}

StandaloneHost::StandaloneHost()
    : m_config(std::make_shared<HostConfig>()),
      // Server work runs only through this host's components, so the host outlives every report.
      m_database(std::make_shared<BranchDatabase>(
          m_config, [this](const QString &label, const QString &message) { log(label, message, true); })),
      m_log(m_config->logPath())
{
}

StandaloneHost::~StandaloneHost() = default;

void StandaloneHost::programmInit(const QString &programId, TEnumProzessTypen, TPVR_InstanceCount, int, bool)
{
    m_programId = programId;
    m_config->validate();
    if (!m_config->settingsInDatabase())
        IniSettingsStore::refuseHostIni(m_config->storePath(), m_config->iniPath());
}

QStringList StandaloneHost::commandLine()
{
    // The arguments of a process do not change; QCoreApplication builds a new list on every call.
    if (m_commandLine.isEmpty())
        m_commandLine = QCoreApplication::arguments();
    return m_commandLine;
}

void StandaloneHost::applicationTerminate()
{
    m_terminated = true;
    QCoreApplication::exit(0);
}

void StandaloneHost::log(const QString &label, const QString &message, bool toStandardError) noexcept
{
    QString terminal = QStringLiteral("?");
    QString text = message;
    try {
        terminal = m_config->terminalId();
    } catch (...) {
        // The report matters more than the terminal id that could not be had.
    }
    try {
        // libpq quotes an option it could not read in its message.
        text = ConnectionOptions::sanitized(message, m_config->database().options);
    } catch (...) {
        // host.ini's own fault is the report; it holds no option text.
    }
    m_log.write(terminal, label, text, toStandardError);
}

bool StandaloneHost::canShowDialogs()
{
    // Offscreen nobody can answer a modal box, and without a widget application or a display there is
    // none.
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
           QGuiApplication::platformName() != QLatin1String("offscreen") &&
           SessionDisplay::recorded().isEmpty();
}

void StandaloneHost::registerException(const QString &label, const QString &message, bool report)
{
    log(label, message, report);
}

// The system calls these two only from its destroy handlers, after it has registered the exception:
// the report is already in the log, and the process is ending anyway, so there is nothing left to do.
void StandaloneHost::fehlerRaise(const QString &, int, const QString &, const QString &, int, int) {}

void StandaloneHost::fehlerTerminate(const QString &, int, const QString &, const QString &, int, int) {}

QString StandaloneHost::meldungText(const QString &gruppe, int nummer)
{
    if (gruppe == QLatin1String("TORVELIN") && nummer == 1004)
        return QStringLiteral("Die Filialnummer dieses Arbeitsplatzes konnte nicht ermittelt werden.");
    return QStringLiteral("Meldung %1 der Gruppe %2.").arg(QString::number(nummer), gruppe);
}

void StandaloneHost::showMeldung(int, int nummer, const QString &gruppe, const QString &, int, int,
                                 const QString &, bool)
{
    const QString text = meldungText(gruppe, nummer);
    log(QStringLiteral("TQVXInfo.ShowMeldung"),
        QStringLiteral("%1 %2: %3").arg(gruppe, QString::number(nummer), text), false);
    if (!canShowDialogs())
        return;
    QMessageBox box(QMessageBox::Information, gruppe, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("QVXMeldung"));
    box.exec();
}

void StandaloneHost::showException(const QString &message, bool)
{
    log(QStringLiteral("TQVXProgramm.ShowException"), message, true);
    if (!canShowDialogs())
        return;
    const QString title = m_programId.isEmpty() ? QCoreApplication::applicationName() : m_programId;
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("QVXException"));
    box.exec();
}

QString StandaloneHost::terminalId()
{
    return m_config->terminalId();
}

bool StandaloneHost::checkParameter(const QString &name)
{
    return m_config->parameter(name);
}

QString StandaloneHost::directoryByName(const QString &name, const QString &, bool)
{
    return m_config->directory(name);
}

QDate StandaloneHost::businessDate()
{
    return m_config->businessDate();
}

// The branch software registers its forms for its own window handling; a standalone form needs nothing.
void StandaloneHost::formInit(const QString &, bool) {}

std::unique_ptr<SimpleMaskBackend> StandaloneHost::createSimpleMask(const QString &section,
                                                                    const QString &subsection,
                                                                    const QString &, bool, bool, QObject *,
                                                                    const QString &, const QString &)
{
    return std::make_unique<StandaloneSimpleMask>(m_config, m_database, section, subsection);
}

std::unique_ptr<AppExecBackend> StandaloneHost::createAppExec()
{
    return std::make_unique<ProcessLauncher>();
}

std::unique_ptr<WarenabgabeManiBackend> StandaloneHost::createWarenabgabeMani()
{
    return std::make_unique<StandaloneWarenabgabeMani>(m_database);
}

std::unique_ptr<DMWarenAbgabeBackend> StandaloneHost::createDMWarenAbgabe()
{
    return std::make_unique<StandaloneDMWarenAbgabe>(m_config);
}

std::unique_ptr<AufgabenManiBackend> StandaloneHost::createAufgabenMani()
{
    return std::make_unique<StandaloneAufgabenMani>(m_database);
}

std::unique_ptr<BelegAuswahlBackend> StandaloneHost::createBelegAuswahl()
{
    return std::make_unique<StandaloneBelegAuswahl>(m_config, m_database);
}
