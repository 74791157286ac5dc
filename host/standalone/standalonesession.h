#pragma once

#include "host/standalone/platform/display.h"

#include <QString>
#include <QStringList>

#include <memory>

class HostBackend;

// What a run of the program on the standalone host decides before its application object exists:
// the window system, and the host itself, installed for as long as the session lives.
class StandaloneSession final
{
public:
    // From the program's arguments ("-platform") and environment.
    explicit StandaloneSession(const QStringList &arguments);
    ~StandaloneSession();
    StandaloneSession(const StandaloneSession &) = delete;
    StandaloneSession &operator=(const StandaloneSession &) = delete;

    // False when no window system may or can start here: the run needs no GUI application at all.
    bool hasWindowSystem() const { return !m_display.windowSystems().isEmpty(); }
    // What Qt is given as its platform list.
    QString platformList() const { return m_display.platformList(); }
    // Once the application object exists: what the display lacks, kept for every dialog of the run.
    void applicationStarted() const;

    // Why nobody can see this run's windows; empty when somebody can.
    static QString missingDisplay() { return SessionDisplay::recorded(); }

private:
    SessionDisplay m_display;
    std::unique_ptr<HostBackend> m_previous;
};
