#pragma once

#include "hosttypes.h"

#include <QChar>
#include <QString>

#include <array>

// Code tables of the business-transaction types (ids 0 to 8) and the origins (ids 0 to 53).
using TQVX_Aufgabe_Geschaeftsvorfall_Erw = int;
using TQVX_Herkunftskennzeichen = int;

// Returned by the reverse lookups for a code that is not in a table: outside every possible set.
constexpr int UnbekannterCode = 255;

extern const std::array<QString, GeschaeftsvorfallAnzahl> CQVX_Aufgabe_Geschaeftsvorfall_2_String;
extern const std::array<QString, GeschaeftsvorfallAnzahl> CQVX_Aufgabe_Geschaeftsvorfall_2_Kuerzel;
extern const std::array<QString, HerkunftAnzahl> CQVX_Herkunftskennzeichen_2_string;
extern const std::array<QChar, HerkunftAnzahl> CQVX_Herkunftskennzeichenerw_2_Char;

TQVX_Aufgabe_Geschaeftsvorfall_Erw Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw(const QString &kuerzel);
TQVX_Herkunftskennzeichen Char_2_Herkunftskennzeichen(QChar zeichen);

// Lookups in the tables themselves; the host's reverse lookups above go through the backend.
int geschaeftsvorfallAusTabelle(const QString &kuerzel);
int herkunftAusTabelle(QChar zeichen);

void Init_Aufgabe_GV_Integer_Array(TQVX_Aufgabe_GV_Integer_Array &array);
void Init_Herkunfts_Integer_Array(TQVX_Herkunfts_Integer_Array &array);
