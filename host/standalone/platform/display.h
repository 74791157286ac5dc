#pragma once

#include <QString>
#include <QStringList>

// The window system of this run, as the platform itself decides it. Qt is given the window systems
// that may show this program's windows, in the order asked for, and then "offscreen", which always
// starts: a window system that does not start (no server, a stale socket, a refused authorisation, no
// plugin, no device) leaves a run on "offscreen" instead of ending the process, and which one started
// tells whether anybody can see a window. The checks need none; a dialog that cannot be shown is
// reported as "no display".
class SessionDisplay final
{
public:
    // Before the GUI application: from the program's arguments ("-platform") and environment
    // (QT_QPA_PLATFORM, DISPLAY, ...).
    explicit SessionDisplay(const QStringList &arguments);

    // The window systems to try, in order, each with its options ("xcb", "wayland:foo"); empty when
    // none may or can start here, and the run needs no GUI application at all.
    const QStringList &windowSystems() const { return m_windowSystems; }
    // What Qt is given as its platform list: the window systems, then "offscreen".
    QString platformList() const;
    // Why nobody can see this run's windows, once the GUI application (if any) exists; empty when
    // somebody can.
    QString missing() const;

    // What the start found, for every dialog of the run.
    static void record(const QString &missing);
    static QString recorded();

private:
    QString whyNone() const;

    QStringList m_windowSystems;
    // The platform was chosen as "offscreen" on purpose (tests, a headless run): its windows are drawn
    // into memory and wait there, as on a screen.
    bool m_offscreenAsked = false;
    // Why a window system asked for is left out.
    QStringList m_leftOut;
};

// What differs between the systems.
namespace DisplayPlatform {

// The window systems that may show this program's windows; anything else asked for is left out.
QStringList allowed();
// What is tried when nothing is asked for, in order.
QStringList byDefault();
// Why `name` cannot start here, found out quickly and before Qt tries it (where Qt itself would wait
// for ever or end the process); empty when Qt may try it.
QString cannotStart(const QString &name);
// The session's window system settings for a message ("DISPLAY=\":0\", WAYLAND_DISPLAY ist leer").
QString session();

} // namespace DisplayPlatform
