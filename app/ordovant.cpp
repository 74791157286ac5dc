#include "app/ordovant.h"

#include "check/ordovantdm.h"
#include "host/application.h"
#include "host/hosterror.h"
#include "host/hostfunctions.h"
#include "host/qvxprogramm.h"
#include "host/standalone/standalonesession.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>

#include <exception>
#include <vector>

namespace {

const QString ProgrammId = QStringLiteral("ORDOVANT");
// The desktop shows the running program under the name of its desktop entry,
// "Überprüfung Absortieraufgaben".
const QString DesktopEintrag = QStringLiteral("ordovant");

// Without a display the checks run as always, and a dialog that cannot be shown is a creation that
// fails.
template <typename Dialog> std::unique_ptr<QWidget> newDialog()
{
    QString missing = StandaloneSession::missingDisplay();
    if (missing.isEmpty() && !qobject_cast<QApplication *>(QCoreApplication::instance()))
        missing = QStringLiteral("keine Anwendung mit Fenstern");
    if (!missing.isEmpty())
        throw HostError(
            QStringLiteral("Keine Anzeige (no display): das Fenster kann nicht gezeigt werden: %1.")
                .arg(missing));
    return std::make_unique<Dialog>();
}

// The command line chooses one of three: the expired check, the options dialog or the sort-out check.
// A dialog comes from the options switch or from a check that found work.
std::unique_ptr<QWidget> dialogForCommandLine(TDMOrdovant &dataModule)
{
    if (FindCmdLineSwitch(QStringLiteral("A"))) {
        if (dataModule.ExistAbgelaufeneBelege())
            return newDialog<TInfoboxFrm>();
        return nullptr;
    }
    if (FindCmdLineSwitch(QStringLiteral("O")))
        return newDialog<TfrmOptionen>();
    if (dataModule.ExistAbsortierAufgaben(!FindCmdLineSwitch(QStringLiteral("E"))))
        return newDialog<TInfoboxFrm>();
    return nullptr;
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The command line Qt gets. On Unix the platform list goes first and every "-platform" of the
// command line (which Qt would take instead) is left out. Windows hands Qt its command line as UTF-16
// only while argv is the one the system made; there Qt reads QT_QPA_PLATFORM and "-platform" itself.
class QtArguments final
{
public:
    QtArguments(int argc, char *argv[], const QString &platforms)
        : m_platforms(platforms.toLocal8Bit()), m_count(argc), m_original(argv)
    {
#ifndef Q_OS_WIN
        m_values.push_back(argv[0]);
        if (!platforms.isEmpty()) {
            m_values.push_back(m_option.data());
            m_values.push_back(m_platforms.data());
        }
        for (int i = 1; i < argc; ++i) {
            const QByteArrayView argument(argv[i]);
            if (argument == "-platform" || argument == "--platform")
                ++i;
            else
                m_values.push_back(argv[i]);
        }
        m_count = int(m_values.size());
        m_values.push_back(nullptr);
#endif
    }

    int &count()
    {
        return m_count;
    }
    char **values()
    {
        return m_values.empty() ? m_original : m_values.data();
    }

private:
    QByteArray m_option = "-platform";
    QByteArray m_platforms;
    int m_count;
    char **m_original;
    std::vector<char *> m_values;
};

// The start without a window system: the check runs and reports as always; a dialog it wanted is
// reported instead of shown.
int runWithoutDisplay(int argc, char *argv[], const StandaloneSession &session)
{
    QtArguments arguments(argc, argv, {});
    QCoreApplication application(arguments.count(), arguments.values());
    session.applicationStarted();
    QCoreApplication::setApplicationName(QStringLiteral("ordovant"));
    OrdovantStart start = startOrdovant();
    start.mainWindow.reset();
    start.dataModule.reset();
    return 0;
}

void showEscapedException(std::exception_ptr escaped)
{
    try {
        std::rethrow_exception(escaped);
    } catch (const std::exception &e) {
        QVXProgramm()->ShowException(e, false);
    } catch (...) {
        QVXProgramm()->ShowException(std::runtime_error("Unbekannte Ausnahme beim Start"), false);
    }
}

} // namespace

OrdovantStart startOrdovant()
{
    OrdovantStart start;
    try {
        QVXProgramm()->Init(ProgrammId, TEnumProzessTypen(3), TPVR_InstanceCount(0), 0, true);
        // Not a display name: the window system would get it appended to every window title.
        QGuiApplication::setDesktopFileName(DesktopEintrag);
        start.dataModule = std::make_unique<TDMOrdovant>();
        start.mainWindow = dialogForCommandLine(*start.dataModule);
    } catch (...) {
        // The program frame shows what escaped; a dialog not created stays empty.
        try {
            showEscapedException(std::current_exception());
        } catch (...) {
        }
    }
    return start;
}

int runOrdovant(int argc, char *argv[])
{
    const StandaloneSession session(argumentsOf(argc, argv));
    if (!session.hasWindowSystem())
        return runWithoutDisplay(argc, argv, session);
    QtArguments arguments(argc, argv, session.platformList());
    QApplication application(arguments.count(), arguments.values());
    session.applicationStarted();
    QApplication::setApplicationName(QStringLiteral("ordovant"));
    OrdovantStart start = startOrdovant();
    if (start.mainWindow && !TApplication::Terminated()) {
        start.mainWindow->show();
        QApplication::exec();
    }
    start.mainWindow.reset();
    start.dataModule.reset();
    return 0;
}
