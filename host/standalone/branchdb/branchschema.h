#pragma once

#include <array>

// The tables of the branch database that the standalone host reads. The program never creates or
// writes the database; the ordovant-db tool and the tests build files from these statements.
namespace BranchSchema {

inline constexpr std::array<const char *, 2> tables{
    "CREATE TABLE absortieraufgabe (id INTEGER PRIMARY KEY, filiale INTEGER NOT NULL, "
    "gv INTEGER NOT NULL, herkunft INTEGER NOT NULL, erledigt INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE beleg (id INTEGER PRIMARY KEY, filiale INTEGER NOT NULL, art INTEGER NOT NULL, "
    "ablaufdatum TEXT, erledigt INTEGER NOT NULL DEFAULT 0)",
};

inline constexpr std::array<const char *, 2> indexes{
    "CREATE INDEX absortieraufgabe_offen ON absortieraufgabe(filiale, erledigt, gv, herkunft)",
    "CREATE INDEX beleg_offen ON beleg(filiale, erledigt, art)",
};

} // namespace BranchSchema
