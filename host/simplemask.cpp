#include "simplemask.h"

#include "hostbackend.h"

TSimpleMask::TSimpleMask(const QString &section, const QString &subsection, const QString &text, bool flag1,
                         bool flag2, QObject *object, const QString &text2, const QString &text3)
    : m_backend(hostBackend().createSimpleMask(section, subsection, text, flag1, flag2, object, text2, text3))
{
}

TSimpleMask::~TSimpleMask() = default;

void TSimpleMask::ChangeKeyValues(const QString &section, const QString &subsection, const QString &text,
                                  bool flag1, bool flag2, const QString &text2, const QString &text3)
{
    m_backend->changeKeyValues(section, subsection, text, flag1, flag2, text2, text3);
}

QString TSimpleMask::ReadLocalDef(const QString &key, const QString &defaultValue)
{
    return m_backend->readLocalDef(key, defaultValue);
}

void TSimpleMask::WriteLocal(const QString &key, const QString &value)
{
    m_backend->writeLocal(key, value);
}
