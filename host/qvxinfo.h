#pragma once

#include <QString>

#include <exception>

// The host's error and message service.
class TQVXInfo final
{
public:
    void RegisterException(const QString &label, const std::exception &exception, bool report);
    void FehlerRaise(const QString &label, int nummer, const QString &text1, const QString &text2, int wert1,
                     int wert2);
    void FehlerTerminate(const QString &label, int nummer, const QString &text1, const QString &text2,
                         int wert1, int wert2);
    void ShowMeldung(int vorgabe, int nummer, const QString &gruppe, const QString &text1, int wert1,
                     int wert2, const QString &text2, bool flag);
};

TQVXInfo *QVXInfo();
QString QVXInfoTerminalID();
