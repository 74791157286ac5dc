#pragma once

#include <QStringList>

// Whether a window can be shown in this session, found out without making a GUI application: Qt ends
// the process when its platform plugin finds no window system. `arguments` are the program's, which
// may choose a platform ("-platform offscreen").
bool hasDisplay(const QStringList &arguments);

// The platform plugin Qt will load: "-platform" before QT_QPA_PLATFORM; the first of a list, without
// its options ("xcb:foo=bar;offscreen"); empty for Qt's default.
inline QString chosenPlatform(const QStringList &arguments)
{
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const qsizetype given = arguments.indexOf(QStringLiteral("-platform"));
    if (given >= 0 && given + 1 < arguments.size())
        platform = arguments.at(given + 1);
    return platform.section(u';', 0, 0).section(u':', 0, 0).trimmed();
}

// Platforms that draw into memory or straight onto a device need no window system of the session.
inline bool needsNoWindowSystem(const QString &platform)
{
    for (const char *name : {"offscreen", "minimal", "vnc", "eglfs", "linuxfb"}) {
        if (platform == QLatin1String(name))
            return true;
    }
    return false;
}
