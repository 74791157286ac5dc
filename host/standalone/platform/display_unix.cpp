#include "display.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A local X display (":0", ":0.1", "unix:0") whose server socket is gone, as in a session that ended
// before a cron job or an autostart ran, would end the process in Qt. A remote one cannot be known.
bool reachableX11(const QString &display)
{
    static const QRegularExpression local(QStringLiteral("^(unix)?:(\\d+)(\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch())
        return !display.isEmpty();
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + match.captured(2));
}

} // namespace

bool hasDisplay(const QStringList &arguments)
{
    const QString platform = chosenPlatform(arguments);
    if (needsNoWindowSystem(platform))
        return true;
    const bool x11 = reachableX11(qEnvironmentVariable("DISPLAY"));
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform == QLatin1String("xcb"))
        return x11;
    if (platform.startsWith(QLatin1String("wayland")))
        return wayland;
    return x11 || wayland;
}
