#include "dmwarenabgabe.h"

#include "hostbackend.h"

TDMWarenAbgabe::TDMWarenAbgabe(QObject *, TWarenabgabeMani *) : m_backend(hostBackend().createDMWarenAbgabe())
{
}

TDMWarenAbgabe::~TDMWarenAbgabe() = default;

QString TDMWarenAbgabe::Einstellung_laden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue)
{
    return m_backend->einstellungLaden(key, defaultValue);
}
