#include "standalonewarenabgabemani.h"

#include "host/standalone/branchdb/branchdatabase.h"

qint32 StandaloneWarenabgabeMani::anzahlAbsortAufgDetailliert(qint16 filiale, bool, qint16,
                                                              TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                                              TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    return m_database->countOpenTasks(filiale, nachHerkunft, nachGV);
}
