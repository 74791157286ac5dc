#include "warenabgabemani.h"

#include "hostbackend.h"

TWarenabgabeMani::TWarenabgabeMani() : m_backend(hostBackend().createWarenabgabeMani()) {}

TWarenabgabeMani::~TWarenabgabeMani() = default;

qint32 TWarenabgabeMani::Anzahl_AbsortAufg_Detailliert(qint16 filiale, bool ohneTorvelin, qint16 option,
                                                       TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                                       TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    return m_backend->anzahlAbsortAufgDetailliert(filiale, ohneTorvelin, option, nachHerkunft, nachGV);
}
