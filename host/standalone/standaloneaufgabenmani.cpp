#include "standaloneaufgabenmani.h"

#include "host/standalone/branchdb/branchdatabase.h"

bool StandaloneAufgabenMani::aufgabenVorhanden(qint16 filiale, TQVX_Aufgabe_Art_Erw_Set arten, bool)
{
    return arten.contains(AbsortierAufgabe) && m_database->hasOpenTask(filiale);
}
