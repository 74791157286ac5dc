#include "display.h"

bool hasDisplay(const QStringList &arguments)
{
    const QString platform = chosenPlatform(arguments);
    if (needsNoWindowSystem(platform))
        return true;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform == QLatin1String("xcb"))
        return x11;
    if (platform.startsWith(QLatin1String("wayland")))
        return wayland;
    return x11 || wayland;
}
