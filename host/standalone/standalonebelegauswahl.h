#pragma once

#include "host/hostbackend.h"
#include "host/standalone/branchdb/beleglist.h"

#include <memory>

class BranchDatabase;
class HostConfig;

// The document selection on the branch database: open documents of the filter's branch and kinds,
// expired when their expiry date lies before the business date. A date that is no date never expires.
class StandaloneBelegAuswahl final : public BelegAuswahlBackend
{
public:
    StandaloneBelegAuswahl(std::shared_ptr<HostConfig> config, std::shared_ptr<BranchDatabase> database);

    void belegeListeLaden(const TQVX_BA_Filter &filter) override;
    void ablaufdatumNachladen() override;
    TVRList *belegeListeGet() override { return &m_list; }

private:
    std::shared_ptr<HostConfig> m_config;
    std::shared_ptr<BranchDatabase> m_database;
    BelegList m_list;
};
