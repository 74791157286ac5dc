// Saves a picture of the whole screen; run.sh uses it to show the demo on a machine without a display.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: ordovant-screenshot FILE.png\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(arguments.at(1))) {
        std::fprintf(stderr, "ordovant-screenshot: no picture saved\n");
        return 1;
    }
    return 0;
}
