#pragma once

#include "hosttypes.h"

#include <QString>

#include <memory>

class QObject;
class DMWarenAbgabeBackend;
class TWarenabgabeMani;

// The goods-dispensing data module: settings of the goods-dispensing domain.
class TDMWarenAbgabe final
{
public:
    TDMWarenAbgabe(QObject *owner, TWarenabgabeMani *mani);
    ~TDMWarenAbgabe();

    QString Einstellung_laden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue);

private:
    std::unique_ptr<DMWarenAbgabeBackend> m_backend;
};
