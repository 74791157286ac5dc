#include "standalonebelegauswahl.h"

#include "host/bafilter.h"
#include "branchdatabase.h"
#include "hostconfig.h"

#include <QDate>

StandaloneBelegAuswahl::StandaloneBelegAuswahl(std::shared_ptr<HostConfig> config,
                                               std::shared_ptr<BranchDatabase> database)
    : m_config(std::move(config)), m_database(std::move(database))
{
}

void StandaloneBelegAuswahl::belegeListeLaden(const TQVX_BA_Filter &filter)
{
    m_list.setBelege(m_database->openBelege(filter.Filiale, filter.Belegarten));
}

void StandaloneBelegAuswahl::ablaufdatumNachladen()
{
    const QDate heute = m_config->businessDate();
    const auto &belege = m_list.belege();
    for (int row = 0; row < belege.size(); ++row) {
        // A document without a readable expiry date never expires.
        const QDate ablauf = QDate::fromString(belege[row].ablaufdatum.trimmed(), Qt::ISODate);
        m_list.setAbgelaufen(row, ablauf.isValid() && ablauf < heute);
    }
}
