// The floor of the notice: a Qt Widgets program that shows a small dialog with a label and two
// buttons and quits from a zero timer once the dialog is shown.

#include "shownstamp.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Überprüfung Absortieraufgaben"));
    auto *label = new QLabel(
        QStringLiteral("Es gibt 12 offene Absortieraufgaben. Sollen sie jetzt bearbeitet werden?"));
    label->setWordWrap(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton(QStringLiteral("Nein")));
    buttons->addStretch();
    buttons->addWidget(new QPushButton(QStringLiteral("Ja")));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addLayout(buttons);
    dialog.show();
    QTimer::singleShot(0, &application, [] {
        ShownStamp::print();
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
