#pragma once

#include "runningroutine.h"

#include <QString>

#include <exception>
#include <utility>

// The system's error convention in one place: a routine runs its body guarded; any exception is
// handed to the host error service under the routine's label and the routine returns its neutral
// result. Objects the body created are destroyed while the exception unwinds, so before the report.

// Reports the exception behind `exception` to the error service; never throws.
void reportException(const QString &label, std::exception_ptr exception, bool report = true);

// Runs `body`; returns false when it failed (and was reported).
template <typename Body> bool guard(const QString &label, Body &&body)
{
    const RunningRoutine running(label);
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        reportException(label, std::current_exception());
        return false;
    }
}

// Runs `body` and returns its result, or `neutral` when it failed (and was reported).
template <typename Result, typename Body>
Result guardResult(const QString &label, Result neutral, Body &&body)
{
    const RunningRoutine running(label);
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        reportException(label, std::current_exception());
        return neutral;
    }
}
