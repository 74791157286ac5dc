// The floor of a run without work: a Qt Widgets program that only constructs its application object.

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    return 0;
}
