#include "qvxprogramm.h"

#include "hostbackend.h"

void TQVXProgramm::Init(const QString &programId, TEnumProzessTypen prozessTyp, TPVR_InstanceCount instanzen,
                        int wert, bool flag)
{
    hostBackend().programmInit(programId, prozessTyp, instanzen, wert, flag);
}

void TQVXProgramm::ShowException(const std::exception &exception, bool flag)
{
    hostBackend().showException(QString::fromUtf8(exception.what()), flag);
}

TQVXProgramm *QVXProgramm()
{
    static TQVXProgramm programm;
    return &programm;
}
