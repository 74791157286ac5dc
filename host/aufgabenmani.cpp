#include "aufgabenmani.h"

#include "hostbackend.h"

TQVX_AufgabenMani::TQVX_AufgabenMani() : m_backend(hostBackend().createAufgabenMani()) {}

TQVX_AufgabenMani::~TQVX_AufgabenMani() = default;

bool TQVX_AufgabenMani::AufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool flag)
{
    return m_backend->aufgabenVorhanden(filiale, arten, flag);
}
