#include "belegauswahldm.h"

#include "hostbackend.h"

TQVX_BelegAuswahlDM::TQVX_BelegAuswahlDM(QObject *) : m_backend(hostBackend().createBelegAuswahl()) {}

TQVX_BelegAuswahlDM::~TQVX_BelegAuswahlDM() = default;

void TQVX_BelegAuswahlDM::BelegeListe_Laden(const TQVX_BA_Filter &filter)
{
    m_backend->belegeListeLaden(filter);
}

void TQVX_BelegAuswahlDM::Ablaufdatum_Nachladen()
{
    m_backend->ablaufdatumNachladen();
}

TVRList *TQVX_BelegAuswahlDM::BelegeListe_Get()
{
    return m_backend->belegeListeGet();
}
