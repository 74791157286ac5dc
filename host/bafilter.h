#pragma once

#include "hosttypes.h"

#include <QString>

#include <array>
#include <cstddef>
#include <type_traits>

// The filter record of the document selection. Its binary layout up to offset 56 is the host's;
// the members behind it need construction and destruction.
struct TQVX_BA_Filter
{
    TQVX_Belegart_Set Belegarten;      // offset 0, 5 bytes
    quint8 Reserve1 = 0;               // offset 5
    qint16 Filiale = 0;                // offset 6
    qint32 KundenNr = 0;               // offset 8
    qint32 BelegNr = 0;                // offset 12
    std::array<quint8, 24> Reserve2{}; // offset 16
    double DatumVon = 0;               // offset 40
    double DatumBis = 0;               // offset 48
    QString Suchbegriff;               // offset 56
};

static_assert(std::is_standard_layout_v<TQVX_BA_Filter>);
static_assert(offsetof(TQVX_BA_Filter, Filiale) == 6);
static_assert(offsetof(TQVX_BA_Filter, DatumVon) == 40);
static_assert(offsetof(TQVX_BA_Filter, DatumBis) == 48);
static_assert(offsetof(TQVX_BA_Filter, Suchbegriff) == 56);

// Puts a filter into its empty state.
void BA_Filter_Clear(TQVX_BA_Filter &filter);
