#pragma once

#include "expiredreference.h"

#include <string>

struct pg_conn;

// The expired check's floor on a branch server: through libpq, with the parameters ordovant uses.
class PgReference final : public ExpiredReference
{
public:
    explicit PgReference(const std::string &conninfo);
    ~PgReference() override;

    bool anyExpired(int filiale, const std::string &heute, int &rows) override;

private:
    [[noreturn]] void fail(const char *what) const;

    pg_conn *m_connection = nullptr;
    bool m_prepared = false;
};
