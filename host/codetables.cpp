#include "codetables.h"

#include "hostbackend.h"

TQVX_Aufgabe_Geschaeftsvorfall_Erw Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw(const QString &kuerzel)
{
    return hostBackend().geschaeftsvorfallVonKuerzel(kuerzel);
}

TQVX_Herkunftskennzeichen Char_2_Herkunftskennzeichen(QChar zeichen)
{
    return hostBackend().herkunftVonChar(zeichen);
}

void Init_Aufgabe_GV_Integer_Array(TQVX_Aufgabe_GV_Integer_Array &array)
{
    array.fill(0);
}

void Init_Herkunfts_Integer_Array(TQVX_Herkunfts_Integer_Array &array)
{
    array.fill(0);
}
