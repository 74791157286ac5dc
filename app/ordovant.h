#pragma once

#include <QStringList>

#include <memory>

class QWidget;
class TDMOrdovant;

// What the start sequence leaves for the message loop. Members are destroyed in reverse order:
// the dialog first, then the data module.
struct OrdovantStart
{
    std::unique_ptr<TDMOrdovant> dataModule;
    std::unique_ptr<QWidget> mainWindow;
};

// The start sequence once the GUI application exists: program frame, desktop entry, data module,
// and the one check or dialog the command line chooses. What escapes goes to the program frame.
OrdovantStart startOrdovant();

// The whole program: the GUI application, the start sequence, the message loop when a dialog was
// created, and the end. The exit code is always 0.
int runOrdovant(int argc, char *argv[]);
