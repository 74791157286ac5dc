#include "display.h"

#include <windows.h>

namespace {

// Wine's Windows programs show their windows on the host's window system; without one Wine makes
// windows that nobody sees, and a dialog would wait for ever.
bool underWineWithoutDisplay()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version"))
        return false;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

// A service or a scheduled task without a logged-on user runs on a window station that is not
// visible: nobody could answer a dialog there.
bool hasDisplay(const QStringList &arguments)
{
    if (needsNoWindowSystem(chosenPlatform(arguments)))
        return true;
    if (underWineWithoutDisplay())
        return false;
    USEROBJECTFLAGS flags = {};
    const HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
