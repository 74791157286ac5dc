#pragma once

#include <QString>

#include <memory>

class QObject;
class SimpleMaskBackend;

// The host's per-workstation settings store.
class TSimpleMask final
{
public:
    TSimpleMask(const QString &section, const QString &subsection, const QString &text, bool flag1,
                bool flag2, QObject *object, const QString &text2, const QString &text3);
    ~TSimpleMask();

    void ChangeKeyValues(const QString &section, const QString &subsection, const QString &text, bool flag1,
                         bool flag2, const QString &text2, const QString &text3);
    QString ReadLocalDef(const QString &key, const QString &defaultValue);
    void WriteLocal(const QString &key, const QString &value);

private:
    std::unique_ptr<SimpleMaskBackend> m_backend;
};
