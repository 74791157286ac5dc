// A save in the options dialog as the program makes it: the start sequence with -O, the dialog shown
// (its lists read the stored choice), then "Weiter" pressed from a zero timer after the show, which
// stores the choice and checks again.
//
// usage: ORDOVANT_HOME=DIR options_probe -O -KD

#include "app/ordovant.h"
#include "check/ordovantdm.h"
#include "host/application.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ordovant"));
    OrdovantStart start = startOrdovant();
    if (!start.mainWindow || TApplication::Terminated()) {
        std::fputs("options_probe: the start sequence showed no options dialog (-O)\n", stderr);
        return 1;
    }
    start.mainWindow->show();
    int result = 1;
    QTimer::singleShot(0, &application, [&] {
        if (auto *weiter = start.mainWindow->findChild<QAbstractButton *>(QStringLiteral("btnWeiter"))) {
            weiter->click();
            result = 0;
        } else {
            std::fputs("options_probe: the dialog has no button btnWeiter\n", stderr);
        }
        QCoreApplication::quit();
    });
    QApplication::exec();
    start.mainWindow.reset();
    start.dataModule.reset();
    return result;
}
