#include "qvxinfo.h"

#include "hostbackend.h"

void TQVXInfo::RegisterException(const QString &label, const std::exception &exception, bool report)
{
    hostBackend().registerException(label, QString::fromUtf8(exception.what()), report);
}

void TQVXInfo::FehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2,
                           int wert1, int wert2)
{
    hostBackend().fehlerRaise(label, nummer, text1, text2, wert1, wert2);
}

void TQVXInfo::FehlerTerminate(const QString &label, int nummer, const QString &text1, const QString &text2,
                               int wert1, int wert2)
{
    hostBackend().fehlerTerminate(label, nummer, text1, text2, wert1, wert2);
}

void TQVXInfo::ShowMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1, int wert1,
                           int wert2, const QString &text2, bool flag)
{
    hostBackend().showMeldung(vorgabe, nummer, gruppe, text1, wert1, wert2, text2, flag);
}

TQVXInfo *QVXInfo()
{
    static TQVXInfo info;
    return &info;
}

QString QVXInfoTerminalID()
{
    return hostBackend().terminalId();
}
