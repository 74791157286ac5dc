#include "app/ordovant.h"

#include "check/ordovantdm.h"
#include "host/application.h"
#include "host/hosterror.h"
#include "host/hostfunctions.h"
#include "host/qvxprogramm.h"
#include "host/standalone/platform/display.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>

#include <exception>

namespace {

const QString ProgrammId = QStringLiteral("ORDOVANT");
// The desktop shows the running program under the name of its desktop entry,
// "Überprüfung Absortieraufgaben".
const QString DesktopEintrag = QStringLiteral("ordovant");

// Without a display the program runs on a core application: the checks need none, and a dialog that
// cannot be shown is a creation that fails.
template <typename Dialog> std::unique_ptr<QWidget> newDialog()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        throw HostError(
            QStringLiteral("Keine Anzeige (no display): das Fenster kann nicht gezeigt werden, "
                           "weil diese Sitzung keinen Bildschirm hat (DISPLAY und WAYLAND_DISPLAY "
                           "sind leer, oder kein angemeldeter Benutzer)."));
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

// The start without a window system: the check runs and reports as always; a dialog it wanted is
// reported instead of shown.
int runWithoutDisplay(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
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
    if (!hasDisplay(argumentsOf(argc, argv)))
        return runWithoutDisplay(argc, argv);
    QApplication application(argc, argv);
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
