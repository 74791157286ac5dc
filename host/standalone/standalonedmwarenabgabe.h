#pragma once

#include "host/hostbackend.h"

#include <memory>

class HostConfig;

// The goods-dispensing settings, kept in host.ini under [Warenabgabe] by their number.
class StandaloneDMWarenAbgabe final : public DMWarenAbgabeBackend
{
public:
    explicit StandaloneDMWarenAbgabe(std::shared_ptr<HostConfig> config) : m_config(std::move(config)) {}

    QString einstellungLaden(TZWL_SM_SimpleMaskKeys key, const QString &defaultValue) override;

private:
    std::shared_ptr<HostConfig> m_config;
};
