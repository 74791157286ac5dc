// The notice as the program shows it: the same start sequence, the window shown, and from a zero
// timer after the show the moment it is on screen and its composed text.

#include "shownstamp.h"

#include "app/ordovant.h"
#include "check/ordovantdm.h"
#include "host/application.h"
#include "host/standalone/standalonehost.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The program's own host, as the program installs it.
    installHostBackend(makeStandaloneHost());
    QApplication::setApplicationName(QStringLiteral("ordovant"));
    OrdovantStart start = startOrdovant();
    if (!start.mainWindow || TApplication::Terminated()) {
        std::fputs("notice_probe: the start sequence showed no notice\n", stderr);
        return 1;
    }
    start.mainWindow->show();
    int result = 1;
    QTimer::singleShot(0, &application, [&] {
        ShownStamp::print();
        const auto *label = start.mainWindow->findChild<QLabel *>(QStringLiteral("lblAusgabe"));
        if (label && !label->text().isEmpty()) {
            std::printf("%s\n", label->text().toUtf8().constData());
            std::fflush(stdout);
            result = 0;
        } else {
            std::fputs("notice_probe: the notice has no text\n", stderr);
        }
        QCoreApplication::quit();
    });
    QApplication::exec();
    start.mainWindow.reset();
    start.dataModule.reset();
    return result;
}
