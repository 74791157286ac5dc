#pragma once

#include <QString>

// The label of the guarded routine that is running now, innermost first, so that a report made
// outside the routine's own handler (the server watchdog's) can still name it. Guarded routines run
// on the GUI thread only; the label is read there too.
class RunningRoutine final
{
public:
    explicit RunningRoutine(const QString &label);
    ~RunningRoutine();
    RunningRoutine(const RunningRoutine &) = delete;
    RunningRoutine &operator=(const RunningRoutine &) = delete;

    // The innermost running routine's label; empty outside every guarded routine.
    static QString innermost();

private:
    const QString &m_label;
    const RunningRoutine *m_outer;
};
