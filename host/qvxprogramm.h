#pragma once

#include "hosttypes.h"

#include <QString>

#include <exception>

// The host's program frame, one per process.
class TQVXProgramm final
{
public:
    void Init(const QString &programId, TEnumProzessTypen prozessTyp, TPVR_InstanceCount instanzen, int wert,
              bool flag);
    void ShowException(const std::exception &exception, bool flag);
};

TQVXProgramm *QVXProgramm();
