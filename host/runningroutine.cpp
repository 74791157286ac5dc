#include "runningroutine.h"

namespace {

thread_local const RunningRoutine *current = nullptr;

} // namespace

RunningRoutine::RunningRoutine(const QString &label) : m_label(label), m_outer(current)
{
    current = this;
}

RunningRoutine::~RunningRoutine()
{
    current = m_outer;
}

QString RunningRoutine::innermost()
{
    return current ? current->m_label : QString();
}
