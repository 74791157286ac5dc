#include "app/ordovant.h"

#include "check/ordovantdm.h"
#include "host/application.h"
#include "host/hostfunctions.h"
#include "host/qvxprogramm.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>

#include <exception>

namespace {

const QString ProgrammId = QStringLiteral("ORDOVANT");
// The desktop shows the running program under the name of its desktop entry,
// "Überprüfung Absortieraufgaben".
const QString DesktopEintrag = QStringLiteral("ordovant");

// The command line chooses one of three: the expired check, the options dialog or the sort-out check.
// A dialog comes from the options switch or from a check that found work.
std::unique_ptr<QWidget> dialogForCommandLine(TDMOrdovant &dataModule)
{
    if (FindCmdLineSwitch(QStringLiteral("A"))) {
        if (dataModule.ExistAbgelaufeneBelege())
            return std::make_unique<TInfoboxFrm>();
        return nullptr;
    }
    if (FindCmdLineSwitch(QStringLiteral("O")))
        return std::make_unique<TfrmOptionen>();
    if (dataModule.ExistAbsortierAufgaben(!FindCmdLineSwitch(QStringLiteral("E"))))
        return std::make_unique<TInfoboxFrm>();
    return nullptr;
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
