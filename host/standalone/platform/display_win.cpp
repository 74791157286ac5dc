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

// A service or a scheduled task without a logged-on user runs on a window station that is not
// visible: nobody could answer a dialog there.
bool onInvisibleWindowStation()
{
    USEROBJECTFLAGS flags = {};
    const HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) == 0;
}

} // namespace

QStringList DisplayPlatform::allowed()
{
    return {QStringLiteral("windows")};
}

QStringList DisplayPlatform::byDefault()
{
    return allowed();
}

// Qt's Windows platform starts on any window station, also on one that nobody sees.
QString DisplayPlatform::cannotStart(const QString &)
{
    if (underWineWithoutDisplay())
        return QStringLiteral("Wine hat kein Fenstersystem (DISPLAY und WAYLAND_DISPLAY sind leer)");
    if (onInvisibleWindowStation())
        return QStringLiteral("die Fensterstation dieses Prozesses ist nicht sichtbar (kein angemeldeter "
                              "Benutzer, etwa ein Dienst oder eine geplante Aufgabe)");
    return {};
}

QString DisplayPlatform::session()
{
    DWORD id = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &id))
        return QStringLiteral("Windows-Sitzung unbekannt");
    return QStringLiteral("Windows-Sitzung %1").arg(QString::number(id));
}
