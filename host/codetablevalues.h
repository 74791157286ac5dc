#pragma once

#include "hosttypes.h"

#include <QChar>
#include <QString>

#include <array>

// The code tables of the business-transaction types (ids 0 to 8) and the origins (ids 0 to 53), and
// the lookups in the tables themselves. Nothing here asks the host.
using TQVX_Aufgabe_Geschaeftsvorfall_Erw = int;
using TQVX_Herkunftskennzeichen = int;

// Returned by the reverse lookups for a code that is not in a table: outside every possible set.
constexpr int UnbekannterCode = 255;

extern const std::array<QString, GeschaeftsvorfallAnzahl> CQVX_Aufgabe_Geschaeftsvorfall_2_String;
extern const std::array<QString, GeschaeftsvorfallAnzahl> CQVX_Aufgabe_Geschaeftsvorfall_2_Kuerzel;
extern const std::array<QString, HerkunftAnzahl> CQVX_Herkunftskennzeichen_2_string;
extern const std::array<QChar, HerkunftAnzahl> CQVX_Herkunftskennzeichenerw_2_Char;

int geschaeftsvorfallAusTabelle(const QString &kuerzel);
int herkunftAusTabelle(QChar zeichen);
