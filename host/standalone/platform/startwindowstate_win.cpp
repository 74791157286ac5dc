#include "startwindowstate.h"

#include <QProcess>

#include <windows.h>

namespace {

WORD showCommand(TWindowState state)
{
    switch (state) {
    case TWindowState::Minimized:
        return SW_SHOWMINNOACTIVE;
    case TWindowState::Maximized:
        return SW_SHOWMAXIMIZED;
    case TWindowState::Normal:
        break;
    }
    return SW_SHOWNORMAL;
}

} // namespace

// The started program's first ShowWindow takes this state, as Windows' own launchers pass it.
void setStartWindowState(QProcess &process, TWindowState state)
{
    const WORD show = showCommand(state);
    process.setCreateProcessArgumentsModifier([show](QProcess::CreateProcessArguments *arguments) {
        arguments->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        arguments->startupInfo->wShowWindow = show;
    });
}
