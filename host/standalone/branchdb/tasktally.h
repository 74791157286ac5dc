#pragma once

#include "host/hosttypes.h"

#include <algorithm>
#include <limits>

// Adds one row of the grouped count of open tasks to the total and to the slots of its ids. Rows with
// an id outside the arrays count in the total only; every sum stops at the largest qint32.
class TaskTally final
{
public:
    TaskTally(TQVX_Herkunfts_Integer_Array &nachHerkunft, TQVX_Aufgabe_GV_Integer_Array &nachGV)
        : m_nachHerkunft(nachHerkunft), m_nachGV(nachGV)
    {
        m_nachHerkunft.fill(0);
        m_nachGV.fill(0);
    }

    void add(qint64 gv, qint64 herkunft, qint64 count)
    {
        m_total += count;
        if (gv >= 0 && gv < GeschaeftsvorfallAnzahl)
            addTo(m_nachGV[gv], count);
        if (herkunft >= 0 && herkunft < HerkunftAnzahl)
            addTo(m_nachHerkunft[herkunft], count);
    }

    qint32 total() const { return clamped(m_total); }

private:
    static qint32 clamped(qint64 count)
    {
        return qint32(std::min<qint64>(count, std::numeric_limits<qint32>::max()));
    }
    static void addTo(qint32 &slot, qint64 count) { slot = clamped(qint64(slot) + count); }

    TQVX_Herkunfts_Integer_Array &m_nachHerkunft;
    TQVX_Aufgabe_GV_Integer_Array &m_nachGV;
    qint64 m_total = 0;
};
