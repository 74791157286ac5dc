#pragma once

#include "hosttypes.h"

#include <memory>

class AufgabenManiBackend;

// The task manager: whether a branch has open tasks of given kinds.
class TQVX_AufgabenMani final
{
public:
    TQVX_AufgabenMani();
    ~TQVX_AufgabenMani();

    bool AufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool flag);

private:
    std::unique_ptr<AufgabenManiBackend> m_backend;
};
