#pragma once

#include "codetablevalues.h"
#include "hosttypes.h"

// The host's reverse lookups of the code tables; they go through the host backend.
TQVX_Aufgabe_Geschaeftsvorfall_Erw Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw(const QString &kuerzel);
TQVX_Herkunftskennzeichen Char_2_Herkunftskennzeichen(QChar zeichen);

void Init_Aufgabe_GV_Integer_Array(TQVX_Aufgabe_GV_Integer_Array &array);
void Init_Herkunfts_Integer_Array(TQVX_Herkunfts_Integer_Array &array);
