#include "standalonebelegauswahl.h"

#include "host/hosttypes.h"
#include "host/standalone/branchdb/branchdatabase.h"
#include "host/standalone/config/hostconfig.h"

StandaloneBelegAuswahl::StandaloneBelegAuswahl(std::shared_ptr<HostConfig> config,
                                               std::shared_ptr<BranchDatabase> database)
    : m_config(std::move(config)), m_database(std::move(database))
{
}

void StandaloneBelegAuswahl::belegeListeLaden(const TQVX_BA_Filter &filter)
{
    m_list.setBelege(m_database->openBelege(filter.Filiale, filter.Belegarten, m_config->businessDate()));
}

void StandaloneBelegAuswahl::ablaufdatumNachladen()
{
    // The database worked the expiry out while loading; the list shows it from now on.
    m_list.showAbgelaufen();
}
