#pragma once

#include "host/hostbackend.h"

#include <memory>

class BranchDatabase;

// The goods-dispensing manager on the branch database.
class StandaloneWarenabgabeMani final : public WarenabgabeManiBackend
{
public:
    explicit StandaloneWarenabgabeMani(std::shared_ptr<BranchDatabase> database)
        : m_database(std::move(database))
    {
    }

    // The flag and the option select host variants of the count that the standalone database has not.
    qint32 anzahlAbsortAufgDetailliert(qint16 filiale, bool ohneTorvelin, qint16 option,
                                       TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                       TQVX_Aufgabe_GV_Integer_Array &nachGV) override;

private:
    std::shared_ptr<BranchDatabase> m_database;
};
