#include "standalonedmwarenabgabe.h"

#include "host/standalone/config/hostconfig.h"

QString StandaloneDMWarenAbgabe::einstellungLaden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue)
{
    return m_config->warenabgabeSetting(int(key), defaultValue);
}
