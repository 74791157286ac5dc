#pragma once

#include "hosttypes.h"

#include <memory>

class WarenabgabeManiBackend;

// The goods-dispensing manager: counts the open sort-out tasks of a branch.
class TWarenabgabeMani final
{
public:
    TWarenabgabeMani();
    ~TWarenabgabeMani();

    qint32 Anzahl_AbsortAufg_Detailliert(qint16 filiale, bool ohneTorvelin, qint16 option,
                                         TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                         TQVX_Aufgabe_GV_Integer_Array &nachGV);

private:
    std::unique_ptr<WarenabgabeManiBackend> m_backend;
};
