#pragma once

#include "host/hostbackend.h"

#include <memory>

class BranchDatabase;

// The task manager on the branch database, which keeps the sort-out tasks (kind 2) only.
class StandaloneAufgabenMani final : public AufgabenManiBackend
{
public:
    static constexpr int AbsortierAufgabe = 2;

    explicit StandaloneAufgabenMani(std::shared_ptr<BranchDatabase> database)
        : m_database(std::move(database))
    {
    }

    bool aufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool flag) override;

private:
    std::shared_ptr<BranchDatabase> m_database;
};
